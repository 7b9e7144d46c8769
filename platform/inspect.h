// The window inspector as a service of its own: the one table of its verbs,
// the descriptions of windows and controls it gives, and the input a person
// would give. The window station only carries its requests and replies;
// `winspy` checks its arguments against the same table.
#pragma once

#include "platform/protocol.h"

#include <cstdint>
#include <string>
#include <vector>

struct WindowObject;

namespace platform {

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

// Once the application object exists: the window station answers through
// the inspector, from a snapshot of the windows while it can.
void StartInspector();

// This process's top-level windows as `winspy list` prints them, a line each.
std::vector<std::string> ListLines();

// A window described as `winspy dump` prints it (with its controls) or as
// `winspy list` does (without).
std::string DescribeWindow(WindowObject* window, bool withControls);

}  // namespace platform
