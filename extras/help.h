// Starting the help viewer on the program's help file.
#pragma once

void ShowHelp();
