#include "Startup.h"

int main(int argc, char** argv)
{
    return MAIN_Run();
}
