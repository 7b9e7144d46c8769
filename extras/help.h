// Starting the help viewer on the program's help file.
#pragma once

// Starts the viewer at the help file's contents; a viewer that does not
// start is not reported.
void ShowHelp();
