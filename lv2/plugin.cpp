// The LV2 plug-ins: each effect in a mono and a stereo form, on the
// streaming engine. The host's floats become the effect's 16-bit samples
// and back (sample_convert.h); the control ports are the effect's settings
// as port_map.h describes them.
//
// run() and connect_port() allocate nothing, take no lock, wait for nothing
// and do no I/O: the processor and every buffer are made in instantiate(),
// and a control change reaches the processor through its Update at the
// start of the next run().
#include <lv2/core/lv2.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <new>

#include "dsp/processor.h"
#include "lv2/fp_environment.h"
#include "lv2/port_map.h"
#include "lv2/sample_convert.h"

namespace {

using lv2plugin::EffectRows;
using lv2plugin::PluginForm;
using lv2plugin::SettingRow;

// Room for any effect's block; every block begins with the same four
// fields, so the mix is read where the Alienator keeps it.
using AnyBlock = AnyEffectBlock;
constexpr std::size_t kMaxRows = sizeof(AnyBlock) / sizeof(double);

// Frames converted and processed at a time, whatever the host's block.
constexpr std::size_t kChunkFrames = 256;

double& At(AnyBlock& block, std::uint32_t offset) {
    return *reinterpret_cast<double*>(reinterpret_cast<unsigned char*>(&block) + offset);
}

// A setting's value for a control's float: whole numbers within the range,
// check boxes 0 or 1 (above 0 is on), and the default for a NaN.
double SettingFromControl(const SettingRow& row, float value) {
    if (std::isnan(value)) return row.defaultValue;
    if (row.toggled) return value > 0.0f ? 1.0 : 0.0;
    return std::clamp(std::round(static_cast<double>(value)), row.minimum, row.maximum);
}

struct Instance {
    PluginForm form;
    const EffectRows* effect;
    std::unique_ptr<dsp::Processor> processor;
    AnyBlock block;  // the settings the processor has
    const float* controls[kMaxRows] = {};
    const float* seed = nullptr;
    const float* in[2] = {};
    float* out[2] = {};
    std::int16_t frames[kChunkFrames * 2];
    double seedRequest = lv2plugin::kClockSeed;  // as taken for the current run
    std::uint32_t clockSeed = 0;                 // the clock's seconds at activation
    bool firstRun = false;

    // The seed control as a request: -1 for the clock, else a whole number.
    double SeedRequest() const {
        const float value = seed != nullptr ? *seed : static_cast<float>(lv2plugin::kClockSeed);
        if (!(value >= 0.0f)) return lv2plugin::kClockSeed;  // negative or NaN
        return std::min(std::round(static_cast<double>(value)), lv2plugin::kMaxSeed);
    }
    std::uint32_t SeedFor(double request) const {
        return request < 0 ? clockSeed : static_cast<std::uint32_t>(request);
    }

    dsp::MixLevels Mix() {
        return {At(block, offsetof(AlienatorSettings, wetMix)),
                At(block, offsetof(AlienatorSettings, dryMix))};
    }

    // Takes the control ports' values into the block; true when any changed.
    bool TakeControls() {
        bool changed = false;
        for (std::size_t i = 0; i < effect->rowCount; ++i) {
            const SettingRow& row = effect->rows[i];
            if (row.port < 0 || controls[row.port] == nullptr) continue;
            const double value = SettingFromControl(row, *controls[row.port]);
            double& setting = At(block, row.offset);
            if (setting != value) {
                setting = value;
                changed = true;
            }
        }
        return changed;
    }
};

const PluginForm* FormOf(const LV2_Descriptor* descriptor);

LV2_Handle Instantiate(const LV2_Descriptor* descriptor, double rate, const char*,
                       const LV2_Feature* const*) {
    const lv2plugin::DefaultFloatingPoint arithmetic;
    const PluginForm* form = FormOf(descriptor);
    if (form == nullptr || !(rate >= 1.0 && rate <= 1e7)) return nullptr;
    std::unique_ptr<Instance> self(new (std::nothrow) Instance);
    if (!self) return nullptr;
    self->form = *form;
    self->effect = &lv2plugin::kEffectRows[static_cast<int>(form->effect)];
    if (self->effect->blockSize > sizeof(AnyBlock)) return nullptr;

    // Defaults to start from; delay lines sized for the largest settings.
    AnyBlock largest;
    for (std::size_t i = 0; i < self->effect->rowCount; ++i) {
        const SettingRow& row = self->effect->rows[i];
        At(self->block, row.offset) = row.defaultValue;
        At(largest, row.offset) = row.maximum;
    }
    const dsp::StreamFormat format{form->channels, static_cast<std::int32_t>(std::lround(rate))};
    try {
        self->processor = dsp::CreateProcessor(form->effect, &self->block, self->Mix(), format,
                                               0, &largest);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (!self->processor) return nullptr;
    return self.release();
}

void ConnectPort(LV2_Handle handle, std::uint32_t port, void* data) {
    auto* self = static_cast<Instance*>(handle);
    const std::uint32_t controls = self->effect->controlCount;
    const int channels = self->form.channels;
    if (port < controls) {
        self->controls[port] = static_cast<const float*>(data);
    } else if (port == lv2plugin::SeedPort(controls)) {
        self->seed = static_cast<const float*>(data);
    } else {
        for (int c = 0; c < channels; ++c) {
            if (port == lv2plugin::AudioInPort(controls, c)) self->in[c] = static_cast<const float*>(data);
            if (port == lv2plugin::AudioOutPort(controls, channels, c)) self->out[c] = static_cast<float*>(data);
        }
    }
}

// A new run: the seed control's number, or the clock's seconds as the
// editor seeds each run. Some hosts connect the controls only after
// activating; for them the seed is taken again at the first run(), and a
// different one restarts the run there (once, clearing the held signal,
// which allocates nothing).
void Activate(LV2_Handle handle) {
    const lv2plugin::DefaultFloatingPoint arithmetic;
    auto* self = static_cast<Instance*>(handle);
    self->clockSeed = static_cast<std::uint32_t>(std::time(nullptr));
    if (self->TakeControls()) self->processor->Update(&self->block, self->Mix());
    self->seedRequest = self->SeedRequest();
    self->processor->Restart(self->SeedFor(self->seedRequest));
    self->firstRun = true;
}

void Run(LV2_Handle handle, std::uint32_t frameCount) {
    const lv2plugin::DefaultFloatingPoint arithmetic;
    auto* self = static_cast<Instance*>(handle);
    const int channels = self->form.channels;
    for (int c = 0; c < channels; ++c) {
        if (self->in[c] == nullptr || self->out[c] == nullptr) return;
    }
    if (self->TakeControls()) self->processor->Update(&self->block, self->Mix());
    if (self->firstRun) {
        self->firstRun = false;
        const double request = self->SeedRequest();
        if (request != self->seedRequest) {
            self->seedRequest = request;
            self->processor->Restart(self->SeedFor(request));
        }
    }

    std::int16_t* frames = self->frames;
    for (std::size_t done = 0; done < frameCount;) {
        const std::size_t count = std::min<std::size_t>(kChunkFrames, frameCount - done);
        for (int c = 0; c < channels; ++c) {
            const float* in = self->in[c] + done;
            for (std::size_t i = 0; i < count; ++i) {
                frames[i * channels + c] = lv2plugin::SampleFromFloat(in[i]);
            }
        }
        self->processor->Process(frames, count);
        for (int c = 0; c < channels; ++c) {
            float* out = self->out[c] + done;
            for (std::size_t i = 0; i < count; ++i) {
                out[i] = lv2plugin::FloatFromSample(frames[i * channels + c]);
            }
        }
        done += count;
    }
}

void Deactivate(LV2_Handle) {}

void Cleanup(LV2_Handle handle) { delete static_cast<Instance*>(handle); }

const void* ExtensionData(const char*) { return nullptr; }

struct Descriptors {
    LV2_Descriptor list[lv2plugin::kFormCount];
    Descriptors() {
        for (std::size_t i = 0; i < lv2plugin::kFormCount; ++i) {
            list[i] = {lv2plugin::kFormUris[i], Instantiate, ConnectPort, Activate,
                       Run,                     Deactivate,  Cleanup,     ExtensionData};
        }
    }
};
const Descriptors kDescriptors;

const PluginForm* FormOf(const LV2_Descriptor* descriptor) {
    for (std::size_t i = 0; i < lv2plugin::kFormCount; ++i) {
        if (descriptor == &kDescriptors.list[i]) return &lv2plugin::kForms[i];
    }
    return nullptr;
}

}  // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
    return index < lv2plugin::kFormCount ? &kDescriptors.list[index] : nullptr;
}
