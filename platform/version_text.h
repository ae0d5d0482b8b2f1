#pragma once
// The program's version as its messages tell it. The build defines it from
// the project's version; a build that does not says "0".
#ifndef VELMO_VERSION_TEXT
#define VELMO_VERSION_TEXT "0"
#endif
