#pragma once
// Saving through a scratch file: the new content goes to a file the save has
// just created next to the target, which then takes the target's place in one
// step. A failed save never leaves a truncated file behind, and no file that
// was already there is ever written but the target itself.
#include "platform/file_replace.h"

#include <cstdio>

enum { kScratchPathSize = 320 };

// Creates the file `name` in `target`'s folder and opens it for writing, only
// when no file of that name exists yet; `scratch` receives its path. nullptr
// when it exists, cannot be created or its path does not fit `size`.
std::FILE* createScratchNamed(const char* target, const char* name, char* scratch, unsigned size);

// Opens what a save of `target` writes: a new scratch file named after the
// target ("mine.vlm.tmp", else "mine.vlm.1.tmp" to "mine.vlm.9.tmp", the first
// that is free), its path in `scratch`. In a folder that refuses new files but
// lets the target be changed, the target itself, opened for writing, and
// `scratch` "": the save still happens, without the guarantee above. nullptr
// when nothing can be opened.
std::FILE* openSaveFile(const char* target, char* scratch, unsigned size);

// Closes `file`, opened by openSaveFile, and puts the scratch file in the
// target's place. 1 when all was written and the target replaced; otherwise
// the scratch file is deleted and the target left as it was.
int finishSave(std::FILE* file, const char* scratch, const char* target);
