// What a control class is to the platform: one entry of the table of
// control classes (controls.h) says how a control of the class is made,
// answers its messages, is named to a screen reader, is described to the
// window inspector and takes a person's choices and keys. The rest of the
// platform tells classes apart only through these entries. Also the two
// ways every control tells its dialog what a person did.
#pragma once

#include "platform/objects.h"

#include <QString>

class QAccessibleInterface;
class QObject;
class QWidget;

namespace platform {

// The fields of a control that the inspector's dump shows besides its ID,
// class, rectangle and visibility.
enum DumpField : unsigned {
    kDumpBitmap = 1,      // its picture's resource, when it has one
    kDumpColumns = 2,     // a list's columns
    kDumpItems = 4,       // its entries
    kDumpPainted = 8,     // the texts drawn on it
    kDumpRows = 16,       // a list's rows
    kDumpSelection = 32,  // its chosen entry
    kDumpText = 64,       // its text, also when empty (else only when it has one)
    kDumpTop = 128,       // a list's top row
};

// How a control takes part in labelling a picker for a screen reader.
enum class Labelling {
    None,
    Around,  // a frame whose title labels the pickers inside it (a group box)
    Beside,  // words that label the picker to their right on their row
};

struct ControlClass {
    const wchar_t* name = L"";  // the system's spelling, e.g. L"COMBOBOX"
    QWidget* (*create)(WindowObject* control, QWidget* parent) = nullptr;
    int tallest = 0;  // handheld pixels it is at most tall (a closed drop-down); 0: as its template says
    // Its own messages (the text ones are answered for every class); null: none.
    LRESULT (*message)(WindowObject* control, UINT message, WPARAM wParam, LPARAM lParam) = nullptr;
    // Shows a new text; null: the text is not shown.
    void (*textChanged)(WindowObject* control) = nullptr;
    // The words it shows a screen reader (null or empty: none of its own),
    // and, for a figure, a heading said before them.
    QString (*words)(const WindowObject* control) = nullptr;
    QString (*heading)(const WindowObject* control) = nullptr;
    Labelling (*labels)(const WindowObject* control) = nullptr;  // null: None
    bool labelled = false;  // a picker: named by the label beside or around it, never by its entry
    bool named = false;     // says its own entries (tabs): no dialog caption in place of a name
    bool (*isPicture)(const WindowObject* control) = nullptr;  // shows a picture; null: never
    // Says the words of this picture of its dialog (a list its division
    // rows' and its hidden header's, a figure its heading's), so that a
    // screen reader is not shown the picture as well; null: never.
    bool (*says)(const WindowObject* control, const WindowObject* picture) = nullptr;
    // Its own interface for a screen reader, for one of its widgets or a
    // part of one, in place of Qt's (which may show hidden parts or padded
    // names); null, or null returned: Qt's. Offered through OfferAccessible.
    QAccessibleInterface* (*accessible)(QObject* object) = nullptr;
    unsigned dump = 0;      // DumpField bits
    // A person's choice of entry `index`, with the notification it sends;
    // null: it has no entries to choose.
    void (*choose)(WindowObject* control, int index) = nullptr;
    // Scrolled so that `row` is at the top, and the row at the top; null: no rows.
    void (*scroll)(WindowObject* control, int row) = nullptr;
    int (*topRow)(WindowObject* control) = nullptr;
    bool pages = false;     // its entries are pages that Ctrl+Tab and Ctrl+PgDown turn
    bool (*presses)(const WindowObject* control) = nullptr;  // a push button; null: never
};

// A control tells its dialog what a person did, held while the program
// waits in a blocking call: WM_NOTIFY with `code`, or WM_COMMAND.
void NotifyParent(WindowObject* control, UINT code);
void CommandParent(WindowObject* control, int code);

}  // namespace platform
