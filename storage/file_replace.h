#pragma once
// Saving through a scratch file: the new content is written next to the target
// and then put in its place in one step, so a failed save never leaves a
// truncated file behind.

enum { kScratchPathSize = 320 };

// The scratch file used to save `target`: "velmo.tmp" in the target's folder
// ("velmo.tm_" when the target itself is called "velmo.tmp"). 0 when the path
// does not fit `size`.
int scratchPathFor(const char* target, char* scratch, unsigned size);

// Moves `scratch` onto `target`, replacing an existing file. On failure the
// scratch file is deleted and the target is left as it was. 1 on success.
int replaceFile(const char* scratch, const char* target);
