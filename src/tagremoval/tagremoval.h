// Removal of the ID3 tags of one MP3 file, in place.
#pragma once

#include "platform.h"

// The source of every write RemoveTags makes: 4096 zero bytes in static storage.
extern const BYTE ZeroBlock[4096];

// Truncates an ID3v1 trailer from the end of the file, then overwrites an ID3v2 tag at its
// start with zeros. Silent: any failure just ends the work on that file.
void RemoveTags(LPCSTR path);
