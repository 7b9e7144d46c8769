// Delivery to the program. While the program waits inside a blocking
// platform call (an Internet request), windows keep painting and the window
// station keeps answering, but what would reach the program (input, timers,
// posted messages, activation) is held and delivered in order once the call
// returns. A person's request to close or cancel the window the call is
// made for stops the call instead of waiting behind it.
#pragma once

#include <cstdint>
#include <functional>

struct WindowObject;

namespace platform {

// Held deliveries: DeliverToProgram runs `delivery` now unless something
// must wait; PostToProgram runs it from the event loop, as a posted message.
bool ProgramWaiting();
void DeliverToProgram(std::function<void()> delivery);
void PostToProgram(std::function<void()> delivery);

// The program's turns: the window messaging says when a procedure takes a
// message and when it returns. HandlingWindow is the window whose procedure
// runs innermost now, or none; ProgramTurn a number that stays the same
// while the program handles one message from the loop, 0 between messages.
void EnterProcedure(WindowObject* window);
void LeaveProcedure();
WindowObject* HandlingWindow();
uint64_t ProgramTurn();

// A blocking call: alive on the GUI thread while the program waits in it.
class BlockingCall {
public:
    BlockingCall();
    ~BlockingCall();
    BlockingCall(const BlockingCall&) = delete;
    BlockingCall& operator=(const BlockingCall&) = delete;

private:
    bool m_counted;  // made on the GUI thread
};

// Called by a blocking call while it waits: paints, serves the station,
// lets a person's Escape reach the window waited for and holds their other
// input until the call has returned.
void ServeWhileBlocked();

// A person asked `window` to close or cancel: a blocking call made for it
// (while its procedure, or its dialog's, handled a message) stops, and so
// does every one after it in the same turn. StopAsked: whether the
// blocking call under way is to stop.
void AskToStopWaiting(WindowObject* window);
bool StopAsked();

// Told true as a blocking call begins and each time it serves, false once
// it has returned (the window inspector's snapshot follows it).
void WatchWaiting(void (*watcher)(bool waiting));

}  // namespace platform
