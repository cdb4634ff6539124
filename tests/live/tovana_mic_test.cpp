// tovana mic in a PipeWire session of its own: the bundled voice played into
// a virtual source comes out of the virtual microphone as tovana apply makes
// it (the Communicator's band-pass, the Deepenator's lower voice), and Ctrl-C
// takes the microphone away; the permanent form from --print-config; the
// refusals.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "dsp/deepenator.h"
#include "lv2/bundle_model.h"
#include "settings/builtin_presets.h"
#include "tests/live/live_support.h"
#include "tests/skip_or_fail.h"

namespace {

using namespace live_test;
using namespace std::chrono_literals;

const char kDescription[] = "Zentrix Tovana Communicator (Stormtrooper)";
constexpr std::size_t kQuantum = 1024;  // the test's graph runs cycles of this many frames

// A microphone the test runs: the effect, its preset and the node it makes.
struct Voice {
    const char* effect;
    const char* preset;
    const char* node;
    const char* description;
};
void PrintTo(const Voice& voice, std::ostream* out) { *out << voice.effect << " with " << voice.preset; }

class TovanaMic : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tovana-mic-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_TRUE(std::filesystem::exists(std::string(TOVANA_LV2_PATH) + "/" + lv2bundle::kBundleName +
                                            "/manifest.ttl"))
            << "the build lays the bundle out elsewhere";
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    // tovana with the test's own store and the built bundle.
    Environment TovanaEnv(const Environment& session) const {
        Environment env = session;
        env["TOVANA_REGISTRY"] = Path("registry.reg");
        env["LV2_PATH"] = TOVANA_LV2_PATH;
#ifdef TOVANA_LV2_HOST_PRELOAD
        env["LD_PRELOAD"] = TOVANA_LV2_HOST_PRELOAD;
        env["ASAN_OPTIONS"] = "detect_leaks=0";
#endif
        return env;
    }
    std::vector<std::string> Tovana(std::vector<std::string> args) const {
        args.insert(args.begin(), {TOVANA_EXE, "--plugin", TOVANA_PLUGIN_PATH});
        return args;
    }

    // tovana apply --seed 5 of the source as the plug-in took it in, had it
    // started `cycles` graph cycles before the recording (after it, when
    // negative). Its first sample is the recording's frame `*offset`.
    std::vector<float> Offline(const Voice& voice, const std::vector<float>& dry, int rate, int cycles,
                               std::size_t* offset) const {
        const std::size_t shift = std::size_t(std::abs(cycles)) * kQuantum;
        std::vector<float> input(cycles > 0 ? shift : 0, 0.0f);
        input.insert(input.end(), dry.begin() + (cycles < 0 ? shift : 0), dry.end());
        if (!WriteMono16(Path("dry.wav"), input, rate)) return {};
        int status = -1;
        Capture(Tovana({"apply", "-q", "--seed", "5", "--effect", voice.effect, "--preset", voice.preset,
                        Path("dry.wav"), Path("applied.wav")}),
                TovanaEnv({}), &status);
        std::vector<float> output = ReadChannel(Path("applied.wav"), 0);
        if (status != 0 || output.size() < (cycles > 0 ? shift : 0)) return {};
        if (cycles > 0) output.erase(output.begin(), output.begin() + shift);
        *offset = cycles < 0 ? shift : 0;
        return output;
    }

    std::string dir_;
};

class TovanaMicVoice : public TovanaMic, public ::testing::WithParamInterface<Voice> {};

// A source for the test to play into, as a microphone would fill it.
bool MakeVoiceSource(const Environment& env) {
    int status = -1;
    Capture({"pw-cli", "create-node", "adapter",
             "{ factory.name=support.null-audio-sink node.name=tovana_test_voice "
             "media.class=Audio/Source/Virtual audio.position=MONO object.linger=true }"},
            env, &status);
    return status == 0;
}

bool HasPort(const Environment& env, const std::string& port) {
    return Capture({"pw-link", "-io"}, env).find(port) != std::string::npos;
}

bool Link(const Environment& env, const std::string& from, const std::string& to) {
    if (!WaitFor([&] { return HasPort(env, from) && HasPort(env, to); }, 10s)) return false;
    int status = -1;
    Capture({"pw-link", from, to}, env, &status);
    return status == 0;
}

// How far `heard` is pitched from `spoken`, in half steps: the shift along
// a log-frequency axis (quarter steps, 150 Hz to 4 kHz) at which their
// long-term spectra agree best. A pitch shift moves every harmonic and the
// formants by the same factor, so the whole voice moves along that axis.
double HalfStepsApart(const std::vector<float>& spoken, const std::vector<float>& heard, int rate) {
    constexpr int kSize = 32768;
    constexpr int kSteps = 4;  // per half step
    auto levels = [&](const std::vector<float>& samples) {
        const std::vector<double> power = PowerSpectrum(samples, kSize);
        std::vector<double> out;
        for (double f = 150; f < 4000; f *= std::pow(2.0, 1.0 / (12 * kSteps))) {
            const std::size_t bin = std::size_t(f * kSize / rate + 0.5);
            out.push_back(std::log10(power[bin - 1] + power[bin] + power[bin + 1] + 1e-30));
        }
        return out;
    };
    const std::vector<double> a = levels(spoken), b = levels(heard);
    double best = -2, bestShift = 0;
    for (int shift = -12 * kSteps; shift <= 12 * kSteps; ++shift) {
        // Pearson correlation of a[i] and b[i + shift] where both exist.
        double n = 0, sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
        for (int i = 0; i < int(a.size()); ++i) {
            const int j = i + shift;
            if (j < 0 || j >= int(b.size())) continue;
            n += 1, sa += a[i], sb += b[j], saa += a[i] * a[i], sbb += b[j] * b[j], sab += a[i] * b[j];
        }
        const double r = (n * sab - sa * sb) / std::sqrt((n * saa - sa * sa) * (n * sbb - sb * sb));
        if (r > best) best = r, bestShift = double(shift) / kSteps;
    }
    return bestShift;
}

TEST_P(TovanaMicVoice, VirtualMicrophoneCarriesTheEffectAndCtrlCRemovesIt) {
    const Voice& voice = GetParam();
    if (const std::string missing = PipeWireSession::Missing(); !missing.empty()) TOVANA_SKIP_OR_FAIL(missing);
    PipeWireSession session(Path("session"));
    std::string why;
    ASSERT_TRUE(session.Start(&why)) << why;
    ASSERT_TRUE(MakeVoiceSource(session.env()));
    Capture({"pw-metadata", "-n", "settings", "0", "clock.force-quantum", std::to_string(kQuantum)}, session.env());

    // LV2_PATH as a relative folder, which lilv in the chain's process would refuse.
    Environment env = TovanaEnv(session.env());
    env["LV2_PATH"] = std::filesystem::relative(TOVANA_LV2_PATH).string();
    Child mic;
    ASSERT_TRUE(mic.Start(Tovana({"mic", "--effect", voice.effect, "--preset", voice.preset, "--seed", "5",
                                  "--target", "tovana_test_voice"}),
                          env, Path("mic.log")));
    ASSERT_TRUE(WaitFor([&] { return ReadText(Path("mic.log")).find("is ready") != std::string::npos; }, 20s))
        << ReadText(Path("mic.log"));
    ASSERT_TRUE(WaitFor([&] { return session.Nodes().find(voice.description) != std::string::npos; }, 10s));

    // One recording of the source (left) and the virtual microphone (right),
    // so both hold the same stretch of time at the graph's rate.
    Child record;
    ASSERT_TRUE(record.Start({"pw-record", "-P", "{ node.autoconnect = false node.name = tovana_test_record }",
                              "--rate", "48000", "--channels", "2", "--format", "f32", Path("recorded.wav")},
                             session.env(), Path("record.log")));
    ASSERT_TRUE(Link(session.env(), "tovana_test_voice:capture_MONO", "tovana_test_record:input_FL"));
    ASSERT_TRUE(Link(session.env(), std::string(voice.node) + ":capture_MONO", "tovana_test_record:input_FR"));
    Child play;
    ASSERT_TRUE(play.Start({"pw-play", "-P", "{ node.autoconnect = false node.name = tovana_test_play }",
                            std::string(TOVANA_DATA_DIR) + "/voice_mono.wav"},
                           session.env(), Path("play.log")));
    ASSERT_TRUE(Link(session.env(), "tovana_test_play:output_MONO", "tovana_test_voice:input_MONO"));
    ASSERT_EQ(play.Wait(30s), 0) << ReadText(Path("play.log"));
    Sleep(500ms);
    record.Stop(SIGINT);

    ASSERT_TRUE(mic.Running()) << ReadText(Path("mic.log"));
    EXPECT_EQ(mic.Stop(SIGINT), 0) << ReadText(Path("mic.log"));
    EXPECT_TRUE(WaitFor([&] { return session.Nodes().find(voice.node) == std::string::npos; }, 5s))
        << "the virtual microphone outlived tovana mic";

    int rate = 0;
    const std::vector<float> dry = ReadChannel(Path("recorded.wav"), 0, &rate);
    const std::vector<float> wet = ReadChannel(Path("recorded.wav"), 1);
    ASSERT_EQ(rate, 48000);
    ASSERT_GT(dry.size(), 48000u * 3);
    // The whole voice went through: its energy is the file's.
    double sum = 0;
    for (float x : dry) sum += double(x) * x;
    double fileSum = 0;
    for (float x : ReadChannel(std::string(TOVANA_DATA_DIR) + "/voice_mono.wav", 0)) fileSum += double(x) * x;
    EXPECT_NEAR(10 * std::log10(sum / 48000), 10 * std::log10(fileSum / 44100), 0.5);

    // The same input through tovana apply with the same seed. The plug-in
    // may have started a graph cycle or two before or after the recording;
    // the alignment whose output agrees is the one compared.
    std::size_t at = 0;
    std::vector<float> offline;
    double agreeing = 0;
    for (int cycles : {0, 1, -1, 2, -2, 3, -3, 4}) {
        std::size_t offset = 0;
        std::vector<float> output = Offline(voice, dry, rate, cycles, &offset);
        std::size_t same = 0;
        for (std::size_t i = 0; i < output.size() && offset + i < wet.size(); ++i) same += output[i] == wet[offset + i];
        const double share = output.empty() ? 0 : double(same) / output.size();
        if (share > agreeing) {
            agreeing = share;
            at = offset;
            offline = std::move(output);
        }
        if (agreeing > 0.99) break;
    }
    // Sample for sample, but for a glitch of the graph.
    EXPECT_GT(agreeing, 0.99) << "of the microphone's samples are those of tovana apply";
    offline.resize(std::min(offline.size(), wet.size() - at));
    const std::vector<float> heard(wet.begin() + at, wet.begin() + at + offline.size());
    const std::vector<float> spoken(dry.begin() + at, dry.begin() + at + heard.size());
    if (std::string(voice.effect) == "deepenator") {
        const BuiltInPreset* preset = FindBuiltInPreset(EffectKind::Deepenator, voice.preset);
        ASSERT_NE(preset, nullptr);
        const double factor = dsp::DeepenatorPitchFactor(static_cast<const DeepenatorSettings*>(preset->block)->pitchScaleLeft);
        EXPECT_NEAR(HalfStepsApart(spoken, heard, rate), 12 * std::log2(factor), 0.5)
            << "half steps the voice moved, against the pitch factor's";
        return;
    }
    const std::vector<double> live = ThirdOctaveLevels(heard, rate);
    const std::vector<double> expected = ThirdOctaveLevels(offline, rate);
    const std::vector<double> input = ThirdOctaveLevels(spoken, rate);
    const double loudest = *std::max_element(expected.begin(), expected.end());
    double apart = 0;
    for (std::size_t band = 0; band < live.size(); ++band) {
        if (expected[band] < loudest - 50) continue;  // where only rounding is left
        EXPECT_NEAR(live[band], expected[band], 1.0) << "third-octave band at " << BandCentre(int(band)) << " Hz";
        apart = std::max(apart, std::fabs(live[band] - input[band]));
    }
    EXPECT_GT(apart, 10.0) << "the microphone sounds like the dry voice";
}

INSTANTIATE_TEST_SUITE_P(Effects, TovanaMicVoice,
                         ::testing::Values(Voice{"communicator", "Stormtrooper", "zentrix_tovana_communicator",
                                                 kDescription},
                                           Voice{"deepenator", "Dark Lord", "zentrix_tovana_deepenator",
                                                 "Zentrix Tovana Deepenator (Dark Lord)"}),
                         [](const auto& info) { return std::string(info.param.effect); });

// What --print-config writes, kept in pipewire.conf.d, gives the same
// microphone whenever PipeWire starts.
TEST_F(TovanaMic, PrintedConfigMakesAPermanentMicrophone) {
    int status = -1;
    const std::string config =
        Capture(Tovana({"mic", "--effect", "communicator", "--preset", "Stormtrooper", "--print-config"}),
                TovanaEnv({}), &status);
    ASSERT_EQ(status, 0) << config;
    EXPECT_NE(config.find("plugin = \"urn:kestrum:zentrix-tovana:communicator\""), std::string::npos) << config;
    // Every port takes the preset's value.
    const BuiltInPreset* preset = FindBuiltInPreset(EffectKind::Communicator, "Stormtrooper");
    ASSERT_NE(preset, nullptr);
    for (const lv2bundle::ControlPort& port : lv2bundle::ControlPorts(EffectKind::Communicator)) {
        char line[128];
        std::snprintf(line, sizeof line, "\"%s\" = %.17g\n", port.symbol.c_str(),
                      lv2bundle::PresetPortValue(*port.setting, preset->block));
        EXPECT_NE(config.find(line), std::string::npos) << line << config;
    }

    if (const std::string missing = PipeWireSession::Missing(); !missing.empty()) TOVANA_SKIP_OR_FAIL(missing);
    PipeWireSession session(Path("session"));
    const std::string dropIns = session.env().at("XDG_CONFIG_HOME") + "/pipewire/pipewire.conf.d";
    std::filesystem::create_directories(dropIns);
    std::ofstream(dropIns + "/zentrix-tovana.conf") << config;
    // The daemon loads the plug-in itself.
    for (const auto& [name, value] : TovanaEnv({})) {
        if (name != "TOVANA_REGISTRY") session.Add(name, value);
    }
    std::string why;
    ASSERT_TRUE(session.Start(&why)) << why;
    const std::string nodes = session.Nodes();
    EXPECT_NE(nodes.find(kDescription), std::string::npos) << nodes;
    EXPECT_NE(nodes.find("Audio/Source"), std::string::npos);
}

TEST_F(TovanaMic, RefusesClearlyWithTheStatusesOfApply) {
    int status = -1;
    std::string out = Capture(Tovana({"mic", "--effect", "communicator", "--preset", "Darth Nobody"}),
                              TovanaEnv({}), &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("unknown preset 'Darth Nobody' for Communicator (choose "), std::string::npos) << out;
    out = Capture(Tovana({"mic", "--target"}), TovanaEnv({}), &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("--target needs a value"), std::string::npos) << out;

    Environment noBundle = TovanaEnv({});
    noBundle["LV2_PATH"] = Path("nowhere");
    out = Capture(Tovana({"mic", "--effect", "cylonator"}), noBundle, &status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("zentrix-tovana.lv2 is not installed (looked in " + Path("nowhere") + ", from LV2_PATH)"),
              std::string::npos)
        << out;

    // A runtime folder where no server listens.
    Environment noServer = TovanaEnv({});
    noServer["XDG_RUNTIME_DIR"] = dir_;
    out = Capture(Tovana({"mic", "--effect", "cylonator"}), noServer, &status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("PipeWire is not running (nothing answers at " + Path("pipewire-0") + "); start it with"),
              std::string::npos)
        << out;
    // Refusals leave the store as it was: nothing was written.
    EXPECT_FALSE(std::filesystem::exists(Path("registry.reg")));
}

}  // namespace
