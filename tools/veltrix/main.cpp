// The program reads no command line and no environment: everything comes from
// the files in the current directory.
#include "app/app.h"

int main()
{
    return appMain();
}
