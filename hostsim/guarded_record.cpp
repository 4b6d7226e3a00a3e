#include "hostsim/guarded_record.h"

#include <cstdio>
#include <cstring>

#include "hostsim/sim_host.h"

namespace hostsim {

namespace {

// Bytes of a guard that no longer hold the guard pattern: count and first offset.
struct GuardHits {
    std::size_t count = 0;
    std::size_t first = 0;
};

GuardHits hitsIn(const unsigned char* guard) {
    GuardHits hits;
    for (std::size_t i = 0; i < kGuardSize; ++i) {
        if (guard[i] != kGuardByte) {
            if (hits.count == 0) {
                hits.first = i;
            }
            ++hits.count;
        }
    }
    return hits;
}

} // namespace

GuardedBlock::GuardedBlock(std::string name, std::size_t size, unsigned char fill)
    : name_(std::move(name)), size_(size) {
    const std::size_t total = 2 * kGuardSize + size;
    storage_.reset(
        new std::max_align_t[(total + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t)]);
    std::memset(start(), kGuardByte, kGuardSize);
    std::memset(start() + kGuardSize, fill, size);
    std::memset(start() + kGuardSize + size, kGuardByte, kGuardSize);
}

GuardedBlock::~GuardedBlock() {
    check();
}

std::string GuardedBlock::damage() const {
    std::string text;
    // Offsets before the record count back from its first byte (-1 is the byte just before).
    const GuardHits before = hitsIn(start());
    if (before.count > 0) {
        const std::size_t offset = kGuardSize - before.first;
        text += std::to_string(before.count) + " bytes before " + name_ +
                " overwritten, furthest at offset -" + std::to_string(offset);
    }
    const GuardHits after = hitsIn(start() + kGuardSize + size_);
    if (after.count > 0) {
        if (!text.empty()) {
            text += "; ";
        }
        text += std::to_string(after.count) + " bytes after " + name_ +
                " overwritten, first at offset +" + std::to_string(after.first) + " past its end";
    }
    return text;
}

bool GuardedBlock::check() {
    const std::string found = damage();
    if (found.empty()) {
        return true;
    }
    if (!reported_) {
        reported_ = true;
        if (SimHost* host = SimHost::current()) {
            host->violations().report("guarded record: " + found);
        } else {
            std::fprintf(stderr, "hostsim: guarded record: %s\n", found.c_str());
        }
    }
    return false;
}

} // namespace hostsim
