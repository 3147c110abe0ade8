#include "ParserRegistry.h"

#include <new>

#include "MkvParser.h"

// The transport stream and MP4 parsers live in their own files; the registry picks them up
// as soon as those files are part of the library.
#if __has_include("TsParser.h")
#include "TsParser.h"
#define CLIPSIGHT_HAVE_TS_PARSER 1
#endif
#if __has_include("Mp4Parser.h")
#include "Mp4Parser.h"
#define CLIPSIGHT_HAVE_MP4_PARSER 1
#endif

namespace clipsight {

ParserRegistry::~ParserRegistry() { DeleteParsers(); }

void ParserRegistry::AddParser(MediaParser* parser) {
    if (parser == nullptr) return;
    try {
        parsers_.push_back(parser);
    } catch (...) {
        delete parser;
    }
}

void ParserRegistry::AddDefaultParsers() {
    AddParser(new (std::nothrow) MkvParser());
#ifdef CLIPSIGHT_HAVE_TS_PARSER
    AddParser(new (std::nothrow) TsParser());
#endif
    AddParser(new (std::nothrow) NullParser());
#ifdef CLIPSIGHT_HAVE_MP4_PARSER
    AddParser(new (std::nothrow) Mp4Parser());
#endif
}

int ParserRegistry::ProbeAndParse(const char* path, int containerType, StreamList** out) {
    FileHandle file = OpenFileForReading(path);
    if (file == kInvalidFileHandle) return kParseDeclined;
    int result = kParseDeclined;
    for (MediaParser* parser : parsers_) {
        if (parser == nullptr || parser->Accepts(containerType) == 0) continue;
        SeekFile(file, 0);
        StreamList* const before = out != nullptr ? *out : nullptr;
        try {
            result = parser->Parse(file, containerType, out);
        } catch (...) {
            // Our stand-in for the fault guard: a parser that fails unexpectedly lets the
            // next accepting parser try; a list it left behind is not trusted.
            result = kParseDeclined;
            if (out != nullptr && *out != before) {
                FreeStreamList(*out);
                *out = before;
            }
        }
        if (result != kParseDeclined) break;
    }
    CloseFile(file);
    return result;
}

void ParserRegistry::DeleteParsers() {
    for (MediaParser* parser : parsers_) delete parser;
    parsers_.clear();
}

}  // namespace clipsight
