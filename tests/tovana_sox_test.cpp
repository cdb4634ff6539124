// tovana as SoX users expect it: pipes both ways, lossy outputs, the
// spectrogram's axes, the shell's completion. The real executable, run
// through /bin/sh so pipes are real pipes, each test with a store of its own.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/skip_or_fail.h"
#include "tools/png_picture.h"
#include "tools/resampler.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool Have(const char* tool) { return std::system(("command -v " + std::string(tool) + " >/dev/null").c_str()) == 0; }

struct Sound {
    int rate = 0;
    int channels = 0;
    int format = 0;
    std::vector<double> samples;  // interleaved, full scale 1.0
    double RmsDb() const {
        double sum = 0.0;
        for (double s : samples) sum += s * s;
        return 10.0 * std::log10(sum / static_cast<double>(samples.size()));
    }
};

class TovanaSox : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tovana-sox-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    // The command that runs tovana with this test's store, for a shell line.
    std::string Tovana() const {
        return "TOVANA_REGISTRY='" + Path("registry.reg") + "' '" TOVANA_EXE "' --plugin '" TOVANA_PLUGIN_PATH "'";
    }
    // Runs a shell line in the test's folder; its standard error is kept in err_.
    int Sh(const std::string& line) {
        const int status = std::system(("cd '" + dir_ + "' && { " + line + " ; } 2>err.txt </dev/null").c_str());
        err_ = ReadFile(Path("err.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // A voice-like signal: harmonics with a syllable envelope.
    void MakeVoice(const std::string& name, int channels, int rate, int frames, int format) {
        std::vector<double> samples(static_cast<std::size_t>(frames) * channels);
        for (int i = 0; i < frames; ++i) {
            const double t = static_cast<double>(i) / rate;
            const double envelope = 0.5 + 0.5 * std::sin(2 * M_PI * 3 * t);
            const double voice = std::sin(2 * M_PI * 140 * t) + 0.5 * std::sin(2 * M_PI * 280 * t) +
                                 0.25 * std::sin(2 * M_PI * 1130 * t);
            for (int c = 0; c < channels; ++c) {
                samples[static_cast<std::size_t>(i) * channels + c] = 0.27 * envelope * voice;
            }
        }
        Write(name, channels, rate, format, samples);
    }
    void Write(const std::string& name, int channels, int rate, int format, const std::vector<double>& samples) {
        SF_INFO info{};
        info.channels = channels;
        info.samplerate = rate;
        info.format = format;
        SNDFILE* file = sf_open(Path(name).c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
        sf_write_double(file, samples.data(), static_cast<sf_count_t>(samples.size()));
        sf_close(file);
    }
    Sound Read(const std::string& name) {
        Sound sound;
        SF_INFO info{};
        SNDFILE* file = sf_open(Path(name).c_str(), SFM_READ, &info);
        if (file == nullptr) return sound;
        sound.rate = info.samplerate;
        sound.channels = info.channels;
        sound.format = info.format;
        sound.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
        const sf_count_t want = static_cast<sf_count_t>(sound.samples.size());
        const sf_count_t got = sf_read_double(file, sound.samples.data(), want);
        sound.samples.resize(static_cast<std::size_t>(got > 0 ? got : 0));
        sf_close(file);
        return sound;
    }

    std::string dir_;
    std::string err_;
};

TEST_F(TovanaSox, PipesBothWaysGiveTheSameSamplesAsFiles) {
    MakeVoice("in.wav", 2, 22050, 20000, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    MakeVoice("in.flac", 2, 22050, 20000, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    const std::string apply = Tovana() + " apply -q --seed 7 --effect communicator --preset Stormtrooper ";
    ASSERT_EQ(Sh(apply + "in.wav file.wav"), 0) << err_;
    const std::string file = ReadFile(Path("file.wav"));

    // Nothing but the audio on standard output: the bytes are the file's.
    ASSERT_EQ(Sh("cat in.wav | " + apply + "- - | cat >piped.wav"), 0) << err_;
    EXPECT_EQ(ReadFile(Path("piped.wav")), file);
    // FLAC cannot be decoded from a pipe by libsndfile; it is spooled first.
    ASSERT_EQ(Sh("cat in.flac | " + apply + "- --type flac - | cat >piped.flac"), 0) << err_;
    const Sound flac = Read("piped.flac");
    EXPECT_EQ(flac.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    EXPECT_EQ(flac.samples, Read("file.wav").samples);

    if (!Have("sox")) TOVANA_SKIP_OR_FAIL("sox is not installed (apt-get install sox)");
    // SoX writing to a pipe cannot go back to its header: it claims 2 GB.
    ASSERT_EQ(Sh("sox in.wav -t raw - | sox -t raw -r 22050 -e signed -b 16 -c 2 - -t wav - 2>/dev/null | " + apply +
                 "- endless.wav"),
              0)
        << err_;
    EXPECT_EQ(ReadFile(Path("endless.wav")), file);
}

TEST_F(TovanaSox, LossyOutputsKeepTheLengthTheLevelAndTheTiming) {
    MakeVoice("in.wav", 1, 44100, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string apply = Tovana() + " apply --seed 3 --effect alienator --preset Computer ";
    ASSERT_EQ(Sh(apply + "-q in.wav ref.wav"), 0) << err_;
    const Sound ref = Read("ref.wav");

    // libsndfile's MP3 writer records the encoder's delay and padding, so
    // the decoder gives back exactly the frames written, in place.
    ASSERT_EQ(Sh(apply + "in.wav out.mp3"), 0) << err_;
    EXPECT_NE(err_.find("out.mp3 is lossy (MP3)"), std::string::npos) << err_;
    const Sound mp3 = Read("out.mp3");
    EXPECT_EQ(mp3.format, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
    ASSERT_EQ(mp3.samples.size(), ref.samples.size());
    EXPECT_NEAR(mp3.RmsDb(), ref.RmsDb(), 0.5);
    double signal = 0.0, noise = 0.0;
    for (std::size_t i = 0; i < ref.samples.size(); ++i) {
        signal += ref.samples[i] * ref.samples[i];
        noise += (ref.samples[i] - mp3.samples[i]) * (ref.samples[i] - mp3.samples[i]);
    }
    EXPECT_GT(10.0 * std::log10(signal / noise), 20.0) << "the MP3 is shifted against the run's samples";

    // Opus takes 48 kHz, not 44.1: resampled, with a notice. Ogg Opus trims
    // its pre-skip and the last page's padding, so the length is exact too.
    ASSERT_EQ(Sh(apply + "in.wav out.opus"), 0) << err_;
    EXPECT_NE(err_.find("resampled from 44100 Hz to 48000 Hz"), std::string::npos) << err_;
    const Sound opus = Read("out.opus");
    EXPECT_EQ(opus.format, SF_FORMAT_OGG | SF_FORMAT_OPUS);
    EXPECT_EQ(opus.rate, 48000);
    EXPECT_EQ(opus.samples.size(), 48000u);
    EXPECT_NEAR(opus.RmsDb(), ref.RmsDb(), 0.5);
    // In time with the run's samples resampled here.
    std::vector<std::int16_t> in(ref.samples.size()), at48;
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<std::int16_t>(std::lround(ref.samples[i] * 32768));
    tovana::Resampler resampler(1, 44100, 48000);
    resampler.Push(in.data(), static_cast<std::int64_t>(in.size()), &at48);
    resampler.Finish(&at48);
    ASSERT_EQ(at48.size(), opus.samples.size());
    signal = noise = 0.0;
    for (std::size_t i = 0; i < at48.size(); ++i) {
        const double expected = at48[i] / 32768.0;
        signal += expected * expected;
        noise += (expected - opus.samples[i]) * (expected - opus.samples[i]);
    }
    EXPECT_GT(10.0 * std::log10(signal / noise), 10.0) << "the Opus output is shifted in time";

    // --quality runs from the smallest file to the best sound; -q keeps quiet.
    ASSERT_EQ(Sh(apply + "-q --quality 0 in.wav small.ogg && " + apply + "-q --quality 10 in.wav large.ogg"), 0)
        << err_;
    EXPECT_TRUE(err_.empty()) << err_;
    EXPECT_LT(ReadFile(Path("small.ogg")).size() * 2, ReadFile(Path("large.ogg")).size());

    if (!Have("sox") || Sh("sox in.wav voice.mp3") != 0) {
        TOVANA_SKIP_OR_FAIL("sox cannot write MP3 (apt-get install sox libsox-fmt-mp3)");
    }
    // SoX's MP3 has no header telling its length: what decodes is counted.
    ASSERT_EQ(Sh(Tovana() + " apply -q voice.mp3 direct.wav"), 0) << err_;
    EXPECT_EQ(Read("direct.wav").samples.size(), Read("voice.mp3").samples.size());
    ASSERT_EQ(Sh("sox voice.mp3 -t wav - | " + Tovana() +
                 " apply --effect deepenator --preset 'Dark Lord' - out2.opus"),
              0)
        << err_;
    EXPECT_EQ(Read("out2.opus").rate, 48000);
}

// Positions (left, top) where `text` stands alone in the picture: its lit
// pixels bright, the rest of its box not, nor a character's width on either
// side and a pixel above and below.
std::vector<std::pair<int, int>> FindText(const tovana::Picture& picture, const std::string& text) {
    auto bright = [&](int x, int y) {
        const tovana::Rgb c = picture.At(x, y);
        return c.r + c.g + c.b > 600;
    };
    const int width = tovana::TextWidth(text, 1);
    std::vector<std::pair<int, int>> found;
    for (int top = 1; top + tovana::kGlyphHeight < picture.height; ++top) {
        for (int left = tovana::kGlyphAdvance; left + width + tovana::kGlyphAdvance <= picture.width; ++left) {
            bool match = true;
            for (int y = -1; match && y <= tovana::kGlyphHeight; ++y) {
                for (int x = -tovana::kGlyphAdvance; match && x < width + tovana::kGlyphAdvance; ++x) {
                    const std::size_t i = static_cast<std::size_t>(x < 0 ? 0 : x / tovana::kGlyphAdvance);
                    const int column = x < 0 ? tovana::kGlyphWidth : x % tovana::kGlyphAdvance;
                    const bool lit = y >= 0 && y < tovana::kGlyphHeight && x >= 0 && x < width &&
                                     column < tovana::kGlyphWidth && (tovana::Glyph(text[i])[y] & (0x10 >> column));
                    match = bright(left + x, top + y) == lit;
                }
            }
            if (match) found.emplace_back(left, top);
        }
    }
    return found;
}

TEST_F(TovanaSox, SpectrogramAxesStandWhereTheirLabelsSay) {
    if (!Have("stream") || !Have("identify")) {
        TOVANA_SKIP_OR_FAIL("ImageMagick is not installed (apt-get install imagemagick)");
    }
    // 5 kHz from 1 s to 2 s of 3, at 16 kHz: the kHz axis runs from 0 to 8.
    std::vector<double> tone(48000, 0.0);
    for (int i = 16000; i < 32000; ++i) tone[i] = 0.5 * std::sin(2 * M_PI * 5000.0 * i / 16000.0);
    Write("tone.wav", 1, 16000, SF_FORMAT_WAV | SF_FORMAT_PCM_16, tone);
    ASSERT_EQ(Sh(Tovana() + " apply -q --effect alienator --wet 0 --dry 100 --spectrogram tone.png tone.wav o.wav"),
              0)
        << err_;
    // Decoded by ImageMagick, not by us.
    ASSERT_EQ(Sh("identify -format '%w %h' tone.png >size.txt && stream -map rgb -storage-type char tone.png tone.rgb"),
              0)
        << err_;
    tovana::Picture picture;
    std::istringstream(ReadFile(Path("size.txt"))) >> picture.width >> picture.height;
    const std::string rgb = ReadFile(Path("tone.rgb"));
    ASSERT_EQ(rgb.size(), static_cast<std::size_t>(picture.width) * picture.height * 3);
    picture.rgb.assign(rgb.begin(), rgb.end());
    auto level = [&](int x, int y) {
        const tovana::Rgb c = picture.At(x, y);
        return c.r + c.g + c.b;
    };
    // The centre of the label `text` under the panel whose 5 kHz label is at (x, y).
    auto timeLabel = [&](const std::vector<std::string>& texts, int x5, int y5) {
        for (const std::string& text : texts) {
            for (const auto& [x, y] : FindText(picture, text)) {
                if (x > x5 + 20 && y > y5 && y < y5 + 300) return x + tovana::TextWidth(text, 1) / 2;
            }
        }
        return -1;
    };

    const auto fives = FindText(picture, "5");  // the 5 kHz label of each panel
    ASSERT_EQ(fives.size(), 2u);
    for (const auto& [labelX, labelY] : fives) {
        const int one = timeLabel({"1", "1.0", "1.00"}, labelX, labelY);
        const int two = timeLabel({"2", "2.0", "2.00"}, labelX, labelY);
        ASSERT_TRUE(one > 0 && two > one) << "no 1 s and 2 s labels under the panel at " << labelY;
        // The tone's row, in the middle of the burst.
        int row = -1, best = -1;
        for (int y = labelY - 30; y < labelY + 30; ++y) {
            int sum = 0;
            for (int x = one + 20; x < two - 20; ++x) sum += level(x, y);
            if (sum > best) best = sum, row = y;
        }
        EXPECT_NEAR(row, labelY + 3, 1) << "the tone is not at its label's height";
        // The burst's edges, blurred alike by the analysis window, lie
        // evenly around the 1 s and 2 s labels.
        const int half = level((one + two) / 2, row) / 2;
        int start = one - 50, end = two + 50;
        while (start < end && level(start, row) < half) ++start;
        while (end > start && level(end, row) < half) --end;
        EXPECT_NEAR(start + end, one + two, 2);
        EXPECT_GE(start, one - 10);
        EXPECT_LE(start, one);
    }
}

TEST_F(TovanaSox, BadTypesQualitiesAndStreamsInABatchAreCommandLineProblems) {
    MakeVoice("in.wav", 1, 22050, 4000, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    struct Case {
        std::string arguments;
        const char* mentions;
    };
    const Case cases[] = {
        {"--type xyz in.wav out.wav", "--type xyz"},
        {"--type '' in.wav out.wav", "--type takes"},
        {"in.wav out.xyz", "opus"},
        {"--quality 11 in.wav out.mp3", "0 (smallest file) to 10"},
        {"--quality loud in.wav out.mp3", "0 (smallest file) to 10"},
        {"--quality 5 in.wav out.flac", "lossless"},
        {"-o outdir - in.wav", "one-file form"},
        {"-o - in.wav", "one-file form"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Sh(Tovana() + " apply " + c.arguments), 1) << c.arguments;
        EXPECT_NE(err_.find(c.mentions), std::string::npos) << c.arguments << ": " << err_;
    }
    EXPECT_EQ(access(Path("out.wav").c_str(), F_OK), -1);
    EXPECT_EQ(access(Path("registry.reg").c_str(), F_OK), -1) << "a refused apply must not touch the store";
}

TEST_F(TovanaSox, CompletionOffersTheNamesOfThePluginsTables) {
    if (!Have("bash")) TOVANA_SKIP_OR_FAIL("bash is not installed");
    const std::string complete = "bash -c 'source \"" TOVANA_SOURCE_DIR "/tools/completion/tovana.bash\"; "
                                 "COMP_WORDS=(\"$@\"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _tovana \"$1\"; "
                                 "printf \"%s\\n\" \"${COMPREPLY[@]}\"' _ '" TOVANA_EXE "' ";
    ASSERT_EQ(Sh(complete + "apply --effect deepenator --preset 'Dark\\ L' >words.txt"), 0) << err_;
    EXPECT_EQ(ReadFile(Path("words.txt")), "Dark Lord\n");
    ASSERT_EQ(Sh(complete + "'' >words.txt"), 0) << err_;
    EXPECT_NE(ReadFile(Path("words.txt")).find("apply\n"), std::string::npos);
    ASSERT_EQ(Sh(complete + "apply --qu >words.txt"), 0) << err_;
    EXPECT_EQ(ReadFile(Path("words.txt")), "--quality\n--quiet\n");
}

TEST(Resampler, KeepsWhatTheNewRateHoldsInTimeAndDropsTheRest) {
    struct Case {
        int from, to;
        double kept, dropped;  // Hz
    };
    for (const Case& c : {Case{44100, 48000, 1000.0, 0.0}, Case{96000, 48000, 1000.0, 30000.0}}) {
        std::vector<std::int16_t> in(static_cast<std::size_t>(c.from) / 2), out;
        for (std::size_t i = 0; i < in.size(); ++i) {
            const double t = static_cast<double>(i) / c.from;
            const double dropped = c.dropped > 0 ? 8000 * std::sin(2 * M_PI * c.dropped * t) : 0.0;
            in[i] = static_cast<std::int16_t>(std::lround(8000 * std::sin(2 * M_PI * c.kept * t) + dropped));
        }
        tovana::Resampler resampler(1, c.from, c.to);
        for (std::size_t at = 0; at < in.size(); at += 1000) {
            resampler.Push(&in[at], static_cast<std::int64_t>(std::min<std::size_t>(1000, in.size() - at)), &out);
        }
        resampler.Finish(&out);
        ASSERT_EQ(out.size(), static_cast<std::size_t>(c.to) / 2) << c.from;
        // Away from the ends, the kept tone alone, at the output's instants.
        double error = 0.0;
        for (std::size_t n = 2000; n + 2000 < out.size(); ++n) {
            error = std::max(error, std::fabs(out[n] - 8000 * std::sin(2 * M_PI * c.kept * n / c.to)));
        }
        EXPECT_LT(error, 8000 * 0.001) << c.from << " to " << c.to;
    }
}

}  // namespace
