#include "app/BrimfoldApp.h"

int main(int argc, char **argv)
{
    return BrimfoldApp::main(argc, argv);
}
