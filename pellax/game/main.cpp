// pellax: a vector-graphics shoot-em-up for the handheld console.
#include "pellax/game/frame_loop.h"

int main() { return pellax_main(); }
