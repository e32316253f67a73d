// One source for both programs; each build names its text set, so the
// language is fixed when the program is built.
#include "program.h"
#include "texts.h"

int main(int argc, char* argv[]) {
    return ui::runProgram(argc, argv, texts::TRACKFOLD_TEXTS);
}
