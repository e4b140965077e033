// gazumo: the program's entry point. It takes no arguments and reads no configuration.
#include "game.h"

int main() { return gazumo::RunGame(); }
