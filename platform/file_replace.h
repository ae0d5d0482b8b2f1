#pragma once
// The two file calls a safe save needs from the system.
#include <cstdio>

// Opens `path` for writing only when this call creates the file. nullptr
// otherwise, with errno telling why (EEXIST when the name is taken).
std::FILE* createNewFile(const char* path);

// Moves `scratch` onto `target`, replacing an existing file unless it is
// marked read-only (as Windows itself refuses, whoever runs the program). On
// failure the scratch file is deleted and the target is left as it was. 1 on
// success.
int replaceFile(const char* scratch, const char* target);
