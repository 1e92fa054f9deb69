// The program's start-up routine: settings, layouts, then the main screen, modally.
#pragma once

int RunVarnet(int argc, char** argv);
