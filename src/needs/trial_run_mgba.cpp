// The trial run on mGBA's core (libmgba): the processor's memory functions are wrapped,
// so that every load and store the game's code makes passes the tracer first.
//
// libmgba is opened on the first trial run rather than linked: it brings some 170
// libraries with it (codecs, GL, Lua), whose loading would cost every start of the
// program about 0.14 s of processor time, trial or not. Where it cannot be opened, the
// run says so and the judgement goes on without it.
#include <dlfcn.h>
#include <time.h>

#include <array>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "needs/trial_run.hpp"

extern "C" {
#include <mgba/core/core.h>
#include <mgba/core/log.h>
#include <mgba/core/timing.h>
#include <mgba/core/version.h>
#include <mgba/gba/core.h>
#include <mgba/internal/arm/arm.h>
#include <mgba/internal/gba/gba.h>
#include <mgba/internal/gba/input.h>
#include <mgba/internal/gba/savedata.h>
#include <mgba-util/vfs.h>
}

#ifndef TAGWRIGHT_LIBMGBA_SONAME
#error "TAGWRIGHT_LIBMGBA_SONAME names the libmgba to open (its soname)"
#endif

namespace tagwright {

namespace {

// The functions of libmgba the trial calls, and its version text.
struct Mgba {
    decltype(&::GBACoreCreate) coreCreate = nullptr;
    decltype(&::GBASavedataForceType) savedataForceType = nullptr;
    decltype(&::VFileFromConstMemory) fileFromConstMemory = nullptr;
    decltype(&::mCoreConfigDeinit) coreConfigDeinit = nullptr;
    decltype(&::mCoreInitConfig) coreInitConfig = nullptr;
    decltype(&::mLogSetDefaultLogger) logSetDefaultLogger = nullptr;
    decltype(&::mTimingDeschedule) timingDeschedule = nullptr;
    decltype(&::mTimingIsScheduled) timingIsScheduled = nullptr;
    const char* const* version = nullptr;
};

template <typename T>
bool bind(void* handle, const char* name, T& to) {
    void* found = ::dlsym(handle, name);
    std::memcpy(&to, &found, sizeof to);  // an object pointer to a function pointer, as POSIX allows
    return found != nullptr;
}

// libmgba, opened once on first use and kept open; nullptr when it cannot be.
const Mgba* mgba() {
    static const std::optional<Mgba> opened = []() -> std::optional<Mgba> {
        void* handle = ::dlopen(TAGWRIGHT_LIBMGBA_SONAME, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            return std::nullopt;
        }
        Mgba m;
        if (bind(handle, "GBACoreCreate", m.coreCreate) &&
            bind(handle, "GBASavedataForceType", m.savedataForceType) &&
            bind(handle, "VFileFromConstMemory", m.fileFromConstMemory) &&
            bind(handle, "mCoreConfigDeinit", m.coreConfigDeinit) &&
            bind(handle, "mCoreInitConfig", m.coreInitConfig) &&
            bind(handle, "mLogSetDefaultLogger", m.logSetDefaultLogger) &&
            bind(handle, "mTimingDeschedule", m.timingDeschedule) &&
            bind(handle, "mTimingIsScheduled", m.timingIsScheduled) &&
            bind(handle, "projectVersion", m.version)) {
            return m;
        }
        (void)::dlclose(handle);
        return std::nullopt;
    }();
    return opened ? &*opened : nullptr;
}

constexpr std::uint32_t kSaveBase = 0x0E000000;
constexpr std::uint32_t kFlashCommandAddress = 0x0E005555;
constexpr std::uint32_t kDma3First = 0x040000D4;  // source, destination, count, control
constexpr std::uint32_t kDma3Last = 0x040000DF;
constexpr std::uint32_t kDma3ControlHigh = 0x040000DF;  // holds the enable bit (bit 7)
constexpr std::size_t kMaxWrites = std::size_t{1} << 16;
constexpr std::size_t kMaxReads = std::size_t{1} << 13;
constexpr std::size_t kMaxDmaStarts = std::size_t{1} << 12;

// Frames of nothing pressed, then the period of the presses and their length.
constexpr std::uint32_t kQuietFrames = 180;
constexpr std::uint32_t kPressPeriod = 60;
constexpr std::uint32_t kPressFrames = 6;
constexpr std::uint32_t kAOffset = 30;

bool inSaveArea(std::uint32_t address) { return (address >> 25) == (kSaveBase >> 25); }
std::uint32_t folded(std::uint32_t address) { return kSaveBase | (address & 0xFFFFu); }
bool inEepromSpace(std::uint32_t address) { return (address >> 24) == 0x0D; }

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Tracer {
    TrialTrace* trace = nullptr;
    GBA* gba = nullptr;
    ARMMemory original{};
    std::uint32_t frame = 0;
    bool written = false;  // the game has stored into the save area
    std::array<std::uint8_t, kDma3Last - kDma3First + 1> dma3{};

    std::uint32_t pc(const ARMCore* cpu) const {
        return static_cast<std::uint32_t>(cpu->gprs[15]) -
               (cpu->executionMode == MODE_THUMB ? 4u : 8u);
    }

    bool undecided() const { return gba->memory.savedata.type == SAVEDATA_AUTODETECT; }

    void access(const ARMCore* cpu, std::uint32_t address, std::uint32_t value, int width,
                bool write) {
        const std::size_t limit = write ? kMaxWrites : kMaxReads;
        std::size_t& count = write ? writes : reads;
        if (count >= limit) {
            return;
        }
        ++count;
        trace->accesses.push_back({sequence++, frame, pc(cpu), folded(address), value,
                                   static_cast<std::uint8_t>(width), write});
    }

    std::uint32_t dma3Word(std::uint32_t address) const {
        const std::size_t at = address - kDma3First;
        return static_cast<std::uint32_t>(dma3[at]) | static_cast<std::uint32_t>(dma3[at + 1]) << 8 |
               static_cast<std::uint32_t>(dma3[at + 2]) << 16 |
               static_cast<std::uint32_t>(dma3[at + 3]) << 24;
    }

    // A store of `width` bytes at `address` (aligned down, as the bus does).
    void storeIo(const ARMCore* cpu, std::uint32_t address, std::uint32_t value, int width) {
        address &= ~static_cast<std::uint32_t>(width - 1);
        if (address > kDma3Last || address + static_cast<std::uint32_t>(width) <= kDma3First) {
            return;
        }
        bool control = false;
        for (int i = 0; i < width; ++i) {
            const std::uint32_t at = address + static_cast<std::uint32_t>(i);
            if (at >= kDma3First && at <= kDma3Last) {
                dma3[at - kDma3First] = static_cast<std::uint8_t>(value >> (8 * i));
                control = control || at == kDma3ControlHigh;
            }
        }
        if (!control || (dma3[kDma3ControlHigh - kDma3First] & 0x80u) == 0) {
            return;
        }
        const std::uint32_t source = dma3Word(kDma3First);
        const std::uint32_t destination = dma3Word(kDma3First + 4);
        if (!inEepromSpace(source) && !inEepromSpace(destination)) {
            return;
        }
        if (trace->dmaStarts.size() < kMaxDmaStarts) {
            const std::uint32_t word = dma3Word(kDma3First + 8);
            trace->dmaStarts.push_back({sequence++, frame, pc(cpu), source, destination,
                                        static_cast<std::uint16_t>(word & 0xFFFFu),
                                        static_cast<std::uint16_t>(word >> 16)});
        }
    }

    void store(const ARMCore* cpu, std::uint32_t address, std::uint32_t value, int width) {
        if (inSaveArea(address)) {
            if (undecided() && width == 1 && folded(address) == kFlashCommandAddress) {
                mgba()->savedataForceType(&gba->memory.savedata, SAVEDATA_FLASH1M);
            }
            written = true;
            access(cpu, address, value, width, true);
        } else if ((address >> 24) == 0x04) {
            storeIo(cpu, address, value, width);
        }
    }

    // A Flash write or erase ends at once: a driver that reads back without polling,
    // as some test programs do, then goes on to its next step.
    void settle() const {
        GBASavedata& savedata = gba->memory.savedata;
        if ((savedata.type == SAVEDATA_FLASH512 || savedata.type == SAVEDATA_FLASH1M) &&
            savedata.timing != nullptr && mgba()->timingIsScheduled(savedata.timing, &savedata.dust)) {
            mgba()->timingDeschedule(savedata.timing, &savedata.dust);
        }
    }

    std::size_t writes = 0;
    std::size_t reads = 0;
    std::uint64_t sequence = 0;
};

thread_local Tracer* active = nullptr;

// Before the game has written there, a read of the save area answers as erased memory
// and leaves the core undecided.
bool answersErased(std::uint32_t address) {
    return inSaveArea(address) && !active->written && active->undecided();
}

std::uint32_t traceLoad(ARMCore* cpu, std::uint32_t address, int* cycles, int width,
                        std::uint32_t (*load)(ARMCore*, std::uint32_t, int*)) {
    if (!inSaveArea(address)) {
        return load(cpu, address, cycles);
    }
    const std::uint32_t erased = width == 4 ? 0xFFFFFFFFu : width == 2 ? 0xFFFFu : 0xFFu;
    const std::uint32_t value = answersErased(address) ? erased : load(cpu, address, cycles);
    active->access(cpu, address, value, width, false);
    return value;
}

std::uint32_t load8(ARMCore* cpu, std::uint32_t address, int* cycles) {
    return traceLoad(cpu, address, cycles, 1, active->original.load8);
}
std::uint32_t load16(ARMCore* cpu, std::uint32_t address, int* cycles) {
    return traceLoad(cpu, address, cycles, 2, active->original.load16);
}
std::uint32_t load32(ARMCore* cpu, std::uint32_t address, int* cycles) {
    return traceLoad(cpu, address, cycles, 4, active->original.load32);
}
template <typename Value>
void traceStore(ARMCore* cpu, std::uint32_t address, Value value, int* cycles,
                void (*store)(ARMCore*, std::uint32_t, Value, int*)) {
    using Unsigned = std::make_unsigned_t<Value>;
    active->store(cpu, address, static_cast<Unsigned>(value), static_cast<int>(sizeof(Value)));
    store(cpu, address, value, cycles);
    if (inSaveArea(address)) {
        active->settle();
    }
}

void store8(ARMCore* cpu, std::uint32_t address, std::int8_t value, int* cycles) {
    traceStore(cpu, address, value, cycles, active->original.store8);
}
void store16(ARMCore* cpu, std::uint32_t address, std::int16_t value, int* cycles) {
    traceStore(cpu, address, value, cycles, active->original.store16);
}
void store32(ARMCore* cpu, std::uint32_t address, std::int32_t value, int* cycles) {
    traceStore(cpu, address, value, cycles, active->original.store32);
}

// The first address a load or store multiple touches.
std::uint32_t firstAddress(std::uint32_t base, int mask, LSMDirection direction) {
    const auto count = static_cast<std::uint32_t>(__builtin_popcount(static_cast<unsigned>(mask) & 0xFFFFu));
    switch (direction) {
        case LSM_IB: return base + 4;
        case LSM_DA: return base - 4 * count + 4;
        case LSM_DB: return base - 4 * count;
        default: return base;
    }
}

std::uint32_t storeMultiple(ARMCore* cpu, std::uint32_t base, int mask, LSMDirection direction,
                            int* cycles) {
    std::uint32_t address = firstAddress(base, mask, direction) & ~3u;
    for (int r = 0; r < 16; ++r) {
        if ((mask & (1 << r)) != 0) {
            active->store(cpu, address, static_cast<std::uint32_t>(cpu->gprs[r]), 4);
            address += 4;
        }
    }
    return active->original.storeMultiple(cpu, base, mask, direction, cycles);
}

std::uint32_t loadMultiple(ARMCore* cpu, std::uint32_t base, int mask, LSMDirection direction,
                           int* cycles) {
    const std::uint32_t first = firstAddress(base, mask, direction) & ~3u;
    if (!inSaveArea(first)) {
        return active->original.loadMultiple(cpu, base, mask, direction, cycles);
    }
    const std::uint32_t result = active->original.loadMultiple(cpu, base, mask, direction, cycles);
    std::uint32_t address = first;
    for (int r = 0; r < 16; ++r) {
        if ((mask & (1 << r)) != 0) {
            active->access(cpu, address, static_cast<std::uint32_t>(cpu->gprs[r]), 4, false);
            address += 4;
        }
    }
    return result;
}

void quietLog(mLogger*, int, mLogLevel, const char*, va_list) {}
mLogger quietLogger{quietLog, nullptr};

std::uint32_t keysFor(std::uint32_t frame) {
    if (frame < kQuietFrames) {
        return 0;
    }
    const std::uint32_t phase = (frame - kQuietFrames) % kPressPeriod;
    if (phase < kPressFrames) {
        return 1u << GBA_KEY_START;
    }
    if (phase >= kAOffset && phase < kAOffset + kPressFrames) {
        return 1u << GBA_KEY_A;
    }
    return 0;
}

struct CoreDeleter {
    void operator()(mCore* core) const {
        mgba()->coreConfigDeinit(&core->config);
        core->deinit(core);
    }
};

}  // namespace

bool trialRunAvailable() { return mgba() != nullptr; }

const char* trialCoreName() {
    if (mgba() == nullptr) {
        return nullptr;
    }
    static const std::string name = std::string("mGBA ") + *mgba()->version;
    return name.c_str();
}

TrialTrace traceTrialRun(std::span<const std::uint8_t> rom, std::uint32_t frames,
                         double budgetSeconds) {
    TrialTrace trace;
    if (!startsWithAJump(rom)) {
        trace.notRun = "the ROM does not start with a jump, so it cannot run";
        return trace;
    }
    const Mgba* const lib = mgba();
    if (lib == nullptr) {
        trace.notRun = "the emulator core (" TAGWRIGHT_LIBMGBA_SONAME ") could not be opened";
        return trace;
    }
    const double start = threadSeconds();
    lib->logSetDefaultLogger(&quietLogger);
    mCore* core = lib->coreCreate();
    if (core == nullptr || !core->init(core)) {
        return trace;
    }
    std::unique_ptr<mCore, CoreDeleter> owner(core);
    lib->coreInitConfig(core, nullptr);  // settings in memory only: no port, so no file is read
    // The ROM is read from memory; the core keeps the VFile and closes it at deinit.
    VFile* vf = lib->fileFromConstMemory(rom.data(), rom.size());
    if (vf == nullptr || !core->loadROM(core, vf)) {
        if (vf != nullptr) {
            vf->close(vf);
        }
        return trace;
    }
    core->reset(core);
    Tracer tracer;
    tracer.trace = &trace;
    tracer.gba = static_cast<GBA*>(core->board);
    auto* cpu = static_cast<ARMCore*>(core->cpu);
    tracer.original = cpu->memory;
    cpu->memory.load8 = load8;
    cpu->memory.load16 = load16;
    cpu->memory.load32 = load32;
    cpu->memory.store8 = store8;
    cpu->memory.store16 = store16;
    cpu->memory.store32 = store32;
    cpu->memory.loadMultiple = loadMultiple;
    cpu->memory.storeMultiple = storeMultiple;
    active = &tracer;
    trace.ran = true;
    for (std::uint32_t frame = 0; frame < frames; ++frame) {
        if (threadSeconds() - start > budgetSeconds) {
            trace.cutShort = true;
            break;
        }
        tracer.frame = frame;
        core->setKeys(core, keysFor(frame));
        core->runFrame(core);
        trace.frames = frame + 1;
    }
    active = nullptr;
    cpu->memory = tracer.original;
    trace.seconds = threadSeconds() - start;
    return trace;
}

TrialRunner trialRunner() {
    return [](std::span<const std::uint8_t> rom) { return trialEvidence(traceTrialRun(rom)); };
}

}  // namespace tagwright
