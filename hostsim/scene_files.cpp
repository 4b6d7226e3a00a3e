#include "hostsim/scene_files.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "hostsim/handle_tokens.h"
#include "hostsim/number_text.h"
#include "hostsim/sim_host.h"

namespace hostsim {

namespace {

constexpr const char* kService = "scene";
constexpr const char* kHeader = "# vellary hostsim scene 1";
constexpr const char* kEmptyName = "%00"; // no real name holds a zero byte

// --- Entry text ----------------------------------------------------------------------------------

bool needsEscape(unsigned char c) {
    return c <= 0x20 || c == '%' || c >= 0x7F;
}

std::string escapeName(const std::string& name) {
    if (name.empty()) {
        return kEmptyName;
    }
    std::string text;
    for (unsigned char c : name) {
        if (needsEscape(c)) {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            text += escaped;
        } else {
            text += static_cast<char>(c);
        }
    }
    return text;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool unescapeName(const std::string& text, std::string* name) {
    if (text == kEmptyName) {
        name->clear();
        return true;
    }
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            result += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return false;
        }
        const int high = hexDigit(text[i + 1]);
        const int low = hexDigit(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) {
            return false;
        }
        result += static_cast<char>(high * 16 + low);
        i += 2;
    }
    *name = std::move(result);
    return true;
}

std::vector<std::string> splitWords(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

bool parseCount(const std::string& text, int* count) {
    int value = 0;
    if (text.empty() || text.size() > 9) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    *count = value;
    return true;
}

bool parseTypeCode(const std::string& text, int* typeCode) {
    if (!text.empty() && text[0] == '-') {
        int magnitude = 0;
        if (!parseCount(text.substr(1), &magnitude)) {
            return false;
        }
        *typeCode = -magnitude;
        return true;
    }
    return parseCount(text, typeCode);
}

// Words are appended one at a time: chains of string + string trip a false -Wrestrict
// warning of g++ 12 when inlined into a loop.
void appendWord(std::string* line, const std::string& word) {
    line->push_back(' ');
    line->append(word);
}

std::string channelLine(const SavedChannel& channel) {
    std::string line = "channel";
    appendWord(&line, escapeName(channel.name));
    appendWord(&line, std::to_string(channel.typeCode));
    appendWord(&line, std::to_string(channel.keys.size()));
    for (const Key& key : channel.keys) {
        appendWord(&line, doubleText(key.time));
        appendWord(&line, doubleText(key.value));
    }
    return line;
}

// Null on success, else what is wrong with the entry.
const char* parseChannelEntry(const std::vector<std::string>& words, SavedChannel* channel) {
    int keyCount = 0;
    if (words.size() < 4 || words[0] != "channel") {
        return "not a channel entry";
    }
    if (!unescapeName(words[1], &channel->name)) {
        return "bad channel name";
    }
    if (!parseTypeCode(words[2], &channel->typeCode) || !parseCount(words[3], &keyCount)) {
        return "bad type code or key count";
    }
    if (words.size() != 4 + 2 * static_cast<std::size_t>(keyCount)) {
        return "key count does not match the numbers on the line";
    }
    channel->keys.clear();
    for (int i = 0; i < keyCount; ++i) {
        Key key{};
        if (!parseDouble(words[4 + 2 * i], &key.time) ||
            !parseDouble(words[5 + 2 * i], &key.value)) {
            return "a key is not a pair of numbers";
        }
        if (!channel->keys.empty() && !(channel->keys.back().time < key.time)) {
            return "key times are not increasing";
        }
        channel->keys.push_back(key);
    }
    return nullptr;
}

template <class Record> void fillHostWords(Record* record) {
    record->hostWord0 = reinterpret_cast<void*>(kSceneHostWordBase);
    for (std::size_t i = 0; i < std::size(record->hostWords); ++i) {
        record->hostWords[i] = reinterpret_cast<void*>(kSceneHostWordBase + 1 + i);
    }
}

template <class Record> bool hostWordsIntact(const Record& record) {
    if (record.hostWord0 != reinterpret_cast<void*>(kSceneHostWordBase)) {
        return false;
    }
    for (std::size_t i = 0; i < std::size(record.hostWords); ++i) {
        if (record.hostWords[i] != reinterpret_cast<void*>(kSceneHostWordBase + 1 + i)) {
            return false;
        }
    }
    return true;
}

// --- Entry points of the records -----------------------------------------------------------------

int HOSTCALL sceneReadFloats(void* readerData, float* values, int count) {
    SimHost* host = SimHost::current();
    if (host == nullptr) {
        SimHost::reportOrphanCall("scene.readFloats");
        return 0;
    }
    return host->scenes().readFloats(readerData, values, count);
}

int HOSTCALL sceneWriteFloats(void* writerData, const float* values, int count) {
    SimHost* host = SimHost::current();
    if (host == nullptr) {
        SimHost::reportOrphanCall("scene.writeFloats");
        return 0;
    }
    return host->scenes().writeFloats(writerData, values, count);
}

} // namespace

struct SceneFiles::Writer {
    SceneSaveRecord record{};
    std::string path;
    std::vector<std::string> lines;
};

struct SceneFiles::Reader {
    struct Entry {
        int lineNumber;
        std::vector<std::string> words;
    };
    SceneLoadRecord record{};
    std::string path;
    std::vector<Entry> entries;
    std::size_t next = 0;
    int floatLimit = -1;
    std::vector<std::string> problems;

    std::string where(const Entry& entry) const {
        return path + " line " + std::to_string(entry.lineNumber);
    }
};

SceneFiles::SceneFiles(SimHost& host) : host_(host) {}
SceneFiles::~SceneFiles() = default;

SceneReadFloatsFn SceneFiles::readFloatsFunction() {
    return sceneReadFloats;
}
SceneWriteFloatsFn SceneFiles::writeFloatsFunction() {
    return sceneWriteFloats;
}

// --- Finding the record behind an argument -------------------------------------------------------
// Records are found by address first, so a pointer the host never handed out is not read.

SceneFiles::Writer* SceneFiles::writerOf(const SceneSaveRecord* scene, const char* operation) {
    for (auto& [number, writer] : writers_) {
        if (&writer->record == scene) {
            if (writer->record.writerData !=
                reinterpret_cast<void*>(
                    makeHandleToken(HandleKind::SceneWriter, host_.serial(), number))) {
                host_.reportViolation(std::string(operation) +
                                      ": the scene record's writer word was changed");
                return nullptr;
            }
            return writer.get();
        }
    }
    host_.reportViolation(std::string(operation) + ": " + pointerText(scene) +
                          " is not an open scene save record");
    return nullptr;
}

SceneFiles::Reader* SceneFiles::readerOf(const SceneLoadRecord* scene, const char* operation) {
    for (auto& [number, reader] : readers_) {
        if (&reader->record == scene) {
            if (reader->record.readerData !=
                reinterpret_cast<void*>(
                    makeHandleToken(HandleKind::SceneReader, host_.serial(), number))) {
                host_.reportViolation(std::string(operation) +
                                      ": the scene record's reader word was changed");
                return nullptr;
            }
            return reader.get();
        }
    }
    host_.reportViolation(std::string(operation) + ": " + pointerText(scene) +
                          " is not an open scene load record");
    return nullptr;
}

SceneFiles::Reader* SceneFiles::readerByToken(void* readerData) {
    const auto number = handleNumber(tokenOf(readerData), HandleKind::SceneReader, host_.serial());
    const auto found = number ? readers_.find(*number) : readers_.end();
    return found != readers_.end() ? found->second.get() : nullptr;
}

SceneFiles::Writer* SceneFiles::writerByToken(void* writerData) {
    const auto number = handleNumber(tokenOf(writerData), HandleKind::SceneWriter, host_.serial());
    const auto found = number ? writers_.find(*number) : writers_.end();
    return found != writers_.end() ? found->second.get() : nullptr;
}

const SceneFiles::Reader* SceneFiles::findReader(const SceneLoadRecord* scene) const {
    for (const auto& entry : readers_) {
        if (&entry.second->record == scene) {
            return entry.second.get();
        }
    }
    throw std::invalid_argument("hostsim: not an open scene load record");
}

void SceneFiles::checkHostWords(bool intact, const char* what) {
    if (!intact) {
        host_.reportViolation(std::string(what) + ": the host's own words were overwritten");
    }
}

// --- Writing -------------------------------------------------------------------------------------

SceneSaveRecord* SceneFiles::openForWriting(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::uint32_t number = nextNumber_++;
    auto writer = std::make_unique<Writer>();
    writer->path = path;
    fillHostWords(&writer->record);
    writer->record.writerData =
        reinterpret_cast<void*>(makeHandleToken(HandleKind::SceneWriter, host_.serial(), number));
    writer->record.writeFloats = sceneWriteFloats;
    SceneSaveRecord* record = &writer->record;
    writers_[number] = std::move(writer);
    return record;
}

bool SceneFiles::finishWriting(SceneSaveRecord* scene, std::string* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = std::find_if(writers_.begin(), writers_.end(), [&](const auto& entry) {
        return &entry.second->record == scene;
    });
    if (found == writers_.end()) {
        if (error != nullptr) {
            *error = "hostsim: not an open scene save record";
        }
        return false;
    }
    const Writer& writer = *found->second;
    checkHostWords(hostWordsIntact(writer.record), "scene save record");
    std::ofstream file(writer.path, std::ios::trunc);
    file << kHeader << '\n';
    for (const std::string& line : writer.lines) {
        file << line << '\n';
    }
    file.close();
    const bool written = !file.fail();
    if (!written && error != nullptr) {
        *error = "hostsim: cannot write scene file " + writer.path;
    }
    writers_.erase(found);
    return written;
}

HostError SceneFiles::writeChannel(const SceneSaveRecord* scene, const SavedChannel& channel) {
    std::lock_guard<std::mutex> lock(mutex_);
    Writer* writer = writerOf(scene, SERVICE_VPARM_FUNCS ".save");
    if (writer == nullptr) {
        return host_.keepText("hostsim: save into a scene record the host did not hand out");
    }
    writer->lines.push_back(channelLine(channel));
    return nullptr;
}

int SceneFiles::writeFloats(void* writerData, const float* values, int count) {
    host_.log().record(kService, "writeFloats",
                       {handleText(tokenOf(writerData), host_.serial()), std::to_string(count)});
    std::lock_guard<std::mutex> lock(mutex_);
    Writer* writer = writerByToken(writerData);
    if (writer == nullptr) {
        host_.reportViolation(
            "scene.writeFloats: " + handleText(tokenOf(writerData), host_.serial()) +
            " is not the writer word of an open scene record");
        return 0;
    }
    if (count < 0 || (count > 0 && values == nullptr)) {
        host_.reportViolation("scene.writeFloats: bad array or count " + std::to_string(count));
        return 0;
    }
    std::string line = "floats";
    appendWord(&line, std::to_string(count));
    for (int i = 0; i < count; ++i) {
        appendWord(&line, floatText(values[i]));
    }
    writer->lines.push_back(std::move(line));
    return count;
}

// --- Reading -------------------------------------------------------------------------------------

SceneLoadRecord* SceneFiles::openForReading(const std::string& path, std::string* error) {
    auto fail = [&](std::string why) -> SceneLoadRecord* {
        if (error != nullptr) {
            *error = "hostsim: scene file " + path + ": " + why;
        }
        return nullptr;
    };
    std::ifstream file(path);
    if (!file) {
        return fail("cannot be opened");
    }
    auto reader = std::make_unique<Reader>();
    reader->path = path;
    int lineNumber = 0;
    for (std::string line; std::getline(file, line);) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::vector<std::string> words = splitWords(line);
        if (words.empty() || words[0][0] == '#') {
            continue;
        }
        if (words[0] != "channel" && words[0] != "floats") {
            return fail("line " + std::to_string(lineNumber) + " is not a scene entry");
        }
        reader->entries.push_back(Reader::Entry{lineNumber, std::move(words)});
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const std::uint32_t number = nextNumber_++;
    fillHostWords(&reader->record);
    reader->record.readerData =
        reinterpret_cast<void*>(makeHandleToken(HandleKind::SceneReader, host_.serial(), number));
    reader->record.readFloats = sceneReadFloats;
    SceneLoadRecord* record = &reader->record;
    readers_[number] = std::move(reader);
    return record;
}

void SceneFiles::closeReading(SceneLoadRecord* scene) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto entry = readers_.begin(); entry != readers_.end(); ++entry) {
        if (&entry->second->record == scene) {
            checkHostWords(hostWordsIntact(entry->second->record), "scene load record");
            readers_.erase(entry);
            return;
        }
    }
}

void SceneFiles::limitFloatReads(const SceneLoadRecord* scene, int maxValues) {
    std::lock_guard<std::mutex> lock(mutex_);
    const_cast<Reader*>(findReader(scene))->floatLimit = maxValues;
}

std::vector<std::string> SceneFiles::readProblems(const SceneLoadRecord* scene) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return findReader(scene)->problems;
}

std::size_t SceneFiles::unreadEntries(const SceneLoadRecord* scene) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const Reader* reader = findReader(scene);
    return reader->entries.size() - reader->next;
}

HostError SceneFiles::readChannel(const SceneLoadRecord* scene, SavedChannel* channel) {
    std::lock_guard<std::mutex> lock(mutex_);
    Reader* reader = readerOf(scene, SERVICE_VPARM_FUNCS ".load");
    if (reader == nullptr) {
        return host_.keepText("hostsim: load from a scene record the host did not hand out");
    }
    if (reader->next >= reader->entries.size()) {
        reader->problems.push_back(reader->path + ": a channel was asked for at the end");
        return host_.keepText("hostsim: " + reader->problems.back());
    }
    const Reader::Entry& entry = reader->entries[reader->next++];
    if (const char* wrong = parseChannelEntry(entry.words, channel)) {
        reader->problems.push_back(reader->where(entry) + ": " + wrong);
        return host_.keepText("hostsim: " + reader->problems.back());
    }
    return nullptr;
}

int SceneFiles::readFloats(void* readerData, float* values, int count) {
    host_.log().record(kService, "readFloats",
                       {handleText(tokenOf(readerData), host_.serial()), std::to_string(count)});
    std::lock_guard<std::mutex> lock(mutex_);
    Reader* reader = readerByToken(readerData);
    if (reader == nullptr) {
        host_.reportViolation(
            "scene.readFloats: " + handleText(tokenOf(readerData), host_.serial()) +
            " is not the reader word of an open scene record");
        return 0;
    }
    if (count < 0 || (count > 0 && values == nullptr)) {
        host_.reportViolation("scene.readFloats: bad array or count " + std::to_string(count));
        return 0;
    }
    if (reader->next >= reader->entries.size()) {
        reader->problems.push_back(reader->path + ": " + std::to_string(count) +
                                   " floats were asked for at the end");
        return 0;
    }
    const Reader::Entry& entry = reader->entries[reader->next++];
    const std::vector<std::string>& words = entry.words;
    int stated = 0;
    if (words[0] != "floats" || words.size() < 2 || !parseCount(words[1], &stated)) {
        reader->problems.push_back(reader->where(entry) + ": not a floats entry");
        return 0;
    }
    const int onLine = static_cast<int>(words.size()) - 2;
    if (onLine != stated) {
        reader->problems.push_back(reader->where(entry) + ": states " + std::to_string(stated) +
                                   " floats but holds " + std::to_string(onLine));
    }
    int deliverable = std::min(count, onLine);
    if (reader->floatLimit >= 0) {
        deliverable = std::min(deliverable, reader->floatLimit);
    }
    int delivered = 0;
    while (delivered < deliverable && parseFloat(words[2 + delivered], &values[delivered])) {
        ++delivered;
    }
    if (delivered < deliverable) {
        reader->problems.push_back(reader->where(entry) + ": float " +
                                   std::to_string(delivered + 1) + " is not a number");
    }
    if (delivered < count) {
        reader->problems.push_back(reader->where(entry) + ": " + std::to_string(count) +
                                   " floats asked for, " + std::to_string(delivered) +
                                   " delivered");
    } else if (onLine > count) {
        reader->problems.push_back(reader->where(entry) + ": " + std::to_string(onLine) +
                                   " floats stored, only " + std::to_string(count) + " read");
    }
    return delivered;
}

} // namespace hostsim
