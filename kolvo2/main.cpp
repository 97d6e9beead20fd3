// kolvo2: the falling-block puzzle game. Started from the console's menu in the folder
// that holds its data ("res/*.zpk") and its "Kolvo2.cfg"; hands back to the menu at its end.
#include "kolvo2/shell.h"

int main() { return Kolvo2Main(HandOverToMenu); }
