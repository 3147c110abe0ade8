#include "ParserRegistry.h"

#include <new>

#include "MkvParser.h"
#include "Mp4Parser.h"
#include "TsParser.h"

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
    AddParser(new (std::nothrow) TsParser());
    AddParser(new (std::nothrow) NullParser());
    AddParser(new (std::nothrow) Mp4Parser());
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
