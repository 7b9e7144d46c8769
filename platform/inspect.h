// The window inspector as a service of its own: the one table of its verbs,
// the descriptions of windows and controls it gives, and the input a person
// would give. The window station only carries its requests and replies;
// `winspy` checks its arguments against the same table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct WindowObject;

namespace platform {

using Words = std::vector<std::string>;

// One verb of a request: "VERB\tWINDOW-ID\tARG..." (no window ID for the
// verbs that have none).
struct InspectorVerb {
    const char* name;        // the request's first word
    int arguments;           // after the window's ID; -1: the verb names no window
    bool waitsForProgram;    // input held while the program waits in a blocking call
    const char* usage;       // after `winspy VERB` in the help; null for a verb between processes only
    const char* help;        // what it does, for the help
    bool (*valid)(const Words& arguments);  // checks arguments before they are sent; may be null
    // Carries the verb out on the GUI thread (only checks it without
    // `perform`); false with the reason in `reply` when it cannot be.
    bool (*run)(WindowObject* window, const Words& arguments, bool perform, std::string& reply);
};

// The verb of that name, or null.
const InspectorVerb* FindInspectorVerb(const std::string& name);
const std::vector<InspectorVerb>& InspectorVerbs();

// Answering a request line. On the station's thread: what can be answered
// without the GUI thread (the list, and dumps while the program waits in a
// blocking call), or an empty string. On the GUI thread: everything else.
std::string AnswerOnStationThread(const std::string& request);
std::string AnswerOnGuiThread(const std::string& request);

// This process's top-level windows as `winspy list` prints them, a line each.
std::vector<std::string> ListLines();

// A window described as `winspy dump` prints it (with its controls) or as
// `winspy list` does (without).
std::string DescribeWindow(WindowObject* window, bool withControls);

// The snapshot the station's thread answers from: MarkChanged notes that
// something shown may have changed; RefreshSnapshot gives the station every
// window's list line, and its dump too while the program waits.
void MarkChanged();
void RefreshSnapshot(bool withDumps);
void RefreshSnapshotIfChanged(bool withDumps);

}  // namespace platform
