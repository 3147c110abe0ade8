#pragma once
// Whether a picture's file holds all the data its decoding takes, for the formats whose readers
// would not tell: a GIF frame whose codes end early is left blank where they stop; the TGA and PCX
// run-length readers take their file in blocks and then decode whatever their buffer still held;
// the 16-bit DDS reader reads past the end of whole files. Each is walked here as its reader walks
// it, before it is decoded.
#include "PictureSource.h"

namespace PictureData {

enum class Extent {
    Whole,    // the file holds every byte the picture's decoding takes
    Short,    // the data ends before the picture does (cut off, or stopping early)
    Damaged,  // the reader could not decode it whole or safely
};

// True when pictures in this library format are walked here.
bool Checks(int format);

Extent Check(int format, PictureSource& source);

}  // namespace PictureData
