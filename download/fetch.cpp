#include "download/fetch.h"

// Stand-in until the fetch holds handles: nothing to close.
void CloseInternetHandles()
{
}
