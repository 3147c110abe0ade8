#include "MediaParser.h"

namespace clipsight {

MediaParser::~MediaParser() = default;

int NullParser::Accepts(int) { return 0; }

int NullParser::Parse(FileHandle, int, StreamList**) { return kParseDeclined; }

}  // namespace clipsight
