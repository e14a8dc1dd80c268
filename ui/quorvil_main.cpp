// Quorvil: SHA-2 digests of typed text and of chosen files.
#include "ui/main_window.h"

int main()
{
    return RunQuorvil();
}
