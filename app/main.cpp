#include "app/program.h"

int main(int argc, char* argv[])
{
    return zuno::runProgram(argc, argv);
}
