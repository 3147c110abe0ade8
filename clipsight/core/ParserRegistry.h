// The ordered parsers of one media-file object, and the probe that picks one for a file.
#pragma once

#include <vector>

#include "MediaParser.h"

namespace clipsight {

class ParserRegistry {
public:
    ParserRegistry() = default;
    ParserRegistry(const ParserRegistry&) = delete;
    ParserRegistry& operator=(const ParserRegistry&) = delete;
    virtual ~ParserRegistry();

    // Appends the default parsers in probe order: Matroska, transport stream, null, MP4.
    // A parser that cannot be allocated is left out.
    void AddDefaultParsers();

    // Appends a parser (the registry takes ownership); NULL is ignored.
    void AddParser(MediaParser* parser);

    // Opens the file, offers it to each accepting parser in order from offset 0 and returns
    // the first result other than -1. -1 when the file cannot be opened, no parser accepts
    // the code, or every accepting parser declined or failed (an exception counts as a
    // failure). The file is closed before returning.
    int ProbeAndParse(const char* path, int containerType, StreamList** out);

    // Deletes every parser in order and empties the registry.
    void DeleteParsers();

    const std::vector<MediaParser*>& Parsers() const { return parsers_; }

private:
    std::vector<MediaParser*> parsers_;
};

}  // namespace clipsight
