#include "workstation/startup.h"

int main(int argc, char** argv) {
    return RunVarnet(argc, argv);
}
