#include "extras/help.h"

// Stand-in until the help viewer exists.
void ShowHelp()
{
}
