// Scene files of the stand-in host and the records through which the module reads and writes
// them (SceneLoadRecord, SceneSaveRecord).
//
// A scene file is text, one entry per line, numbers written to read back bit for bit
// (number_text.h):
//   # vellary hostsim scene 1
//   channel <name> <type code> <key count> <time> <value> <time> <value> ...
//   floats <count> <value> ...
// Names are written with '%XX' in place of spaces, '%' and control characters. Empty lines and
// lines starting with '#' are skipped. A load takes the entries in order, as the module asks.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/host_records.h"
#include "hostsim/key_curve.h"

namespace hostsim {

class SimHost;

// Words a scene record's unused host words hold: recognisable in a debugger, and checked to be
// unchanged when the record is finished or closed.
inline constexpr std::uintptr_t kSceneHostWordBase = 0x5CE0E000u;

// One channel entry of a scene.
struct SavedChannel {
    std::string name;
    int typeCode = 0;
    std::vector<Key> keys;
};

class SceneFiles {
  public:
    explicit SceneFiles(SimHost& host);
    ~SceneFiles();

    // --- Writing ------------------------------------------------------------------------------
    // A record for the module's save; the file is written by finishWriting. The record stays
    // valid until then.
    SceneSaveRecord* openForWriting(const std::string& path);
    // Writes the file and releases the record. False, with the reason in *error, when the record
    // is not an open one or the file cannot be written.
    bool finishWriting(SceneSaveRecord* scene, std::string* error = nullptr);

    // --- Reading ------------------------------------------------------------------------------
    // A record for the module's load, or null with the reason in *error (missing file, a line
    // that is not a scene entry). Valid until closeReading.
    SceneLoadRecord* openForReading(const std::string& path, std::string* error = nullptr);
    void closeReading(SceneLoadRecord* scene);
    // Every float read of this record from now on delivers at most maxValues values (-1: all).
    void limitFloatReads(const SceneLoadRecord* scene, int maxValues);
    // What went wrong while reading (fewer values than asked, an entry of the wrong kind, ...),
    // one text per problem. Not violations: a scene file may be damaged without the module's
    // fault.
    std::vector<std::string> readProblems(const SceneLoadRecord* scene) const;
    // Entries not yet read.
    std::size_t unreadEntries(const SceneLoadRecord* scene) const;

    static SceneReadFloatsFn readFloatsFunction();
    static SceneWriteFloatsFn writeFloatsFunction();

    // --- The host side -------------------------------------------------------------------------
    // Channel entries, for the parameter service's save and load: null or an error text.
    HostError writeChannel(const SceneSaveRecord* scene, const SavedChannel& channel);
    HostError readChannel(const SceneLoadRecord* scene, SavedChannel* channel);
    int readFloats(void* readerData, float* values, int count);
    int writeFloats(void* writerData, const float* values, int count);

  private:
    struct Writer;
    struct Reader;

    Writer* writerOf(const SceneSaveRecord* scene, const char* operation);
    Reader* readerOf(const SceneLoadRecord* scene, const char* operation);
    Reader* readerByToken(void* readerData);
    Writer* writerByToken(void* writerData);
    const Reader* findReader(const SceneLoadRecord* scene) const;
    void checkHostWords(bool intact, const char* what);

    SimHost& host_;
    mutable std::mutex mutex_;
    std::uint32_t nextNumber_ = 1;
    std::map<std::uint32_t, std::unique_ptr<Writer>> writers_;
    std::map<std::uint32_t, std::unique_ptr<Reader>> readers_;
};

} // namespace hostsim
