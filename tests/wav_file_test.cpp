// The WAV backend of the Windows build against libsndfile, which the Linux
// build reads and writes with: the same files must give the same 16-bit
// samples, and the files written must be the same.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tools/audio_io.h"
#include "tools/png_deflate.h"
#include "tools/wav_file.h"

namespace {

using tovana::AudioInput;
using tovana::WavReader;

class WavBackend : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tovana-wav-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    // A file written by libsndfile; false when it cannot write that format.
    static bool WriteWithLibsndfile(const std::string& path, int format, int channels,
                                    const std::vector<double>& samples) {
        SF_INFO info{};
        info.channels = channels;
        info.samplerate = 22050;
        info.format = format;
        if (!sf_format_check(&info)) return false;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        if (file == nullptr) return false;
        const sf_count_t frames = static_cast<sf_count_t>(samples.size()) / channels;
        const bool written = sf_writef_double(file, samples.data(), frames) == frames;
        sf_close(file);
        return written;
    }

    // Reads `path` through both backends in the same uneven blocks, from
    // the middle first so that both must seek; expects the same samples.
    static void ExpectSameSamples(const std::string& path, const std::string& label) {
        AudioInput reference;
        WavReader wav;
        std::string error;
        ASSERT_TRUE(reference.Open(path, &error)) << label << ": " << error;
        ASSERT_TRUE(wav.Open(path, &error)) << label << ": " << error;
        ASSERT_EQ(wav.channels(), reference.channels()) << label;
        ASSERT_EQ(wav.sampleRate(), reference.sampleRate()) << label;
        ASSERT_EQ(wav.frames(), reference.frames()) << label;
        EXPECT_EQ(wav.is16Bit(), reference.is16Bit()) << label;
        EXPECT_EQ(wav.encoding(), reference.encoding()) << label;
        const std::int64_t frames = wav.frames();
        const std::int64_t middle = frames / 2;
        struct Block {
            std::int64_t first, count;
        };
        const std::vector<Block> blocks = {{middle, frames - middle}, {0, 7}, {7, middle - 7}, {3, 1}};
        for (const Block& block : blocks) {
            const std::size_t values = static_cast<std::size_t>(block.count * wav.channels());
            std::vector<std::int16_t> expected(values), got(values);
            ASSERT_TRUE(reference.Read(block.first, expected.data(), block.count, &error)) << label << ": " << error;
            ASSERT_TRUE(wav.Read(block.first, got.data(), block.count, &error)) << label << ": " << error;
            ASSERT_EQ(got, expected) << label << ", frames " << block.first << " to "
                                     << block.first + block.count - 1;
        }
    }

    std::string dir_;
};

// Full-scale edges, values just inside them, ties between two 16-bit steps
// and a ramp; floats also go beyond full scale.
std::vector<double> TestSignal(std::size_t count, bool beyondFullScale) {
    std::vector<double> samples;
    const double edges[] = {0.0, -1.0, 1.0 - 1.0 / 32768, 0.5 / 32768, 1.5 / 32768, -2.5 / 32768, 0.25, -0.75};
    for (double edge : edges) samples.push_back(edge);
    if (beyondFullScale) {
        for (double far : {1.0, 1.5, -1.0000001, -3.0, 40000.0 / 32768}) samples.push_back(far);
    }
    std::mt19937 random(7);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0 - 1.0 / 32768);
    while (samples.size() < count) samples.push_back(uniform(random));
    samples.resize(count);
    return samples;
}

TEST_F(WavBackend, EveryEncodingReadsAsTheLinuxBuildReadsIt) {
    const struct {
        int subtype;
        const char* name;
        bool isFloat;
    } encodings[] = {{SF_FORMAT_PCM_U8, "8-bit", false},  {SF_FORMAT_PCM_16, "16-bit", false},
                     {SF_FORMAT_PCM_24, "24-bit", false}, {SF_FORMAT_PCM_32, "32-bit", false},
                     {SF_FORMAT_FLOAT, "float", true},    {SF_FORMAT_DOUBLE, "double", true}};
    int files = 0;
    for (const auto& encoding : encodings) {
        for (int container : {SF_FORMAT_WAV, SF_FORMAT_WAVEX}) {
            for (int channels : {1, 2}) {
                // An odd number of frames: 8-bit and 24-bit data end on an odd byte.
                const std::vector<double> samples = TestSignal(1001 * channels, encoding.isFloat);
                const std::string label = std::string(encoding.name) + (container == SF_FORMAT_WAVEX ? " extensible" : "") +
                                          (channels == 1 ? " mono" : " stereo");
                const std::string path = Path("in.wav");
                if (!WriteWithLibsndfile(path, container | encoding.subtype, channels, samples)) continue;
                ExpectSameSamples(path, label);
                ++files;
            }
        }
    }
    EXPECT_GE(files, 20) << "libsndfile wrote fewer test files than expected";
}

// libsndfile itself reads floating-point samples as 16-bit ones unscaled
// (0.5 as 0); both backends scale them instead.
TEST_F(WavBackend, FloatFilesAreScaledNotReadAsSilence) {
    const std::string path = Path("float.wav");
    ASSERT_TRUE(WriteWithLibsndfile(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, {0.5, -0.25, 1.0, -1.0, 2.0}));
    AudioInput input;
    std::string error;
    ASSERT_TRUE(input.Open(path, &error)) << error;
    std::int16_t samples[5] = {};
    ASSERT_TRUE(input.Read(0, samples, 5, &error)) << error;
    EXPECT_EQ(samples[0], 16384);
    EXPECT_EQ(samples[1], -8192);
    EXPECT_EQ(samples[2], 32767);
    EXPECT_EQ(samples[3], -32768);
    EXPECT_EQ(samples[4], 32767);
    EXPECT_EQ(input.encoding(), "32 bit float");
}

TEST(FloatSamples, SixteenBitValuesSurviveAndTheRestIsRoundedAndClipped) {
    for (int value = -32768; value <= 32767; ++value) {
        ASSERT_EQ(tovana::FloatToSample(value / 32768.0), value);
    }
    EXPECT_EQ(tovana::FloatToSample(0.5 / 32768), 0);  // ties to even
    EXPECT_EQ(tovana::FloatToSample(1.5 / 32768), 2);
    EXPECT_EQ(tovana::FloatToSample(-2.5 / 32768), -2);
    EXPECT_EQ(tovana::FloatToSample(32767.4 / 32768), 32767);
    EXPECT_EQ(tovana::FloatToSample(1e30), 32767);
    EXPECT_EQ(tovana::FloatToSample(-1e30), -32768);
    EXPECT_EQ(tovana::FloatToSample(std::numeric_limits<double>::infinity()), 32767);
    EXPECT_EQ(tovana::FloatToSample(std::numeric_limits<double>::quiet_NaN()), 0);
}

// A file cut short (here in the middle of a frame) holds fewer frames than
// its header says; both backends see the frames that are there.
TEST_F(WavBackend, TruncatedFilesGiveTheFramesThatAreThere) {
    for (int subtype : {SF_FORMAT_PCM_16, SF_FORMAT_PCM_24, SF_FORMAT_FLOAT}) {
        const std::string path = Path("cut.wav");
        ASSERT_TRUE(WriteWithLibsndfile(path, SF_FORMAT_WAV | subtype, 2, TestSignal(2 * 500, false)));
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        in.close();
        bytes.resize(bytes.size() - 301);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;

        ExpectSameSamples(path, "truncated, subtype " + std::to_string(subtype));
        WavReader wav;
        std::string error;
        ASSERT_TRUE(wav.Open(path, &error));
        EXPECT_LT(wav.frames(), 500);
        std::int16_t samples[4];
        EXPECT_FALSE(wav.Read(wav.frames() - 1, samples, 2, &error));
        EXPECT_NE(error.find("ended early"), std::string::npos) << error;
    }
}

TEST_F(WavBackend, OtherFilesAreRefusedWithAReason) {
    std::string error;
    {
        // libsndfile reads AIFF; the WAV backend says what it reads.
        ASSERT_TRUE(WriteWithLibsndfile(Path("a.aiff"), SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, TestSignal(100, false)));
        WavReader wav;
        EXPECT_FALSE(wav.Open(Path("a.aiff"), &error));
        EXPECT_NE(error.find("WAV files only"), std::string::npos) << error;
    }
    {
        std::ofstream(Path("text.wav")) << "RIFF....WAVE but not really a sound file at all";
        WavReader wav;
        EXPECT_FALSE(wav.Open(Path("text.wav"), &error));
        EXPECT_NE(error.find("text.wav"), std::string::npos) << error;
    }
    {
        WavReader wav;
        EXPECT_FALSE(wav.Open(Path("missing.wav"), &error));
        EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
    }
    {
        // A-law is WAV, but not an encoding the backend converts.
        ASSERT_TRUE(WriteWithLibsndfile(Path("alaw.wav"), SF_FORMAT_WAV | SF_FORMAT_ALAW, 1, TestSignal(100, false)));
        WavReader wav;
        EXPECT_FALSE(wav.Open(Path("alaw.wav"), &error));
        EXPECT_NE(error.find("encoding"), std::string::npos) << error;
    }
}

// The writer gives the bytes libsndfile gives for 16-bit WAV, also when the
// blocks arrive out of order, as a selection's do.
TEST_F(WavBackend, WrittenFilesAreTheLinuxBuildsBytes) {
    for (int channels : {1, 2}) {
        const std::vector<double> signal = TestSignal(static_cast<std::size_t>(777 * channels), false);
        std::vector<std::int16_t> samples;
        for (double value : signal) samples.push_back(tovana::FloatToSample(value));

        tovana::AudioOutput output;
        std::string error;
        const std::string expectedPath = Path("sndfile.wav");
        ASSERT_TRUE(output.Create(expectedPath, tovana::OutputFormatFor(expectedPath, channels), channels, 22050,
                                  &error))
            << error;
        ASSERT_TRUE(output.Write(0, samples.data(), 777, &error)) << error;
        ASSERT_TRUE(output.Commit(&error)) << error;

        const std::string path = Path("mine.wav");
        std::FILE* file = std::fopen(path.c_str(), "wb+");
        ASSERT_NE(file, nullptr);
        tovana::WavWriter writer;
        ASSERT_TRUE(writer.Start(file, channels, 22050));
        ASSERT_TRUE(writer.Write(300, samples.data() + 300 * channels, 477));
        ASSERT_TRUE(writer.Write(0, samples.data(), 300));
        ASSERT_TRUE(writer.Finish());
        std::fclose(file);

        auto read = [](const std::string& name) {
            std::ifstream in(name, std::ios::binary);
            return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        };
        EXPECT_EQ(read(path), read(expectedPath)) << channels << " channels";
    }
}

TEST(PngStream, StoredBlocksInflateBackAndTheChecksumIsZlibs) {
    std::mt19937 random(3);
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{65535}, std::size_t{65536},
                             std::size_t{200001}}) {
        std::vector<unsigned char> raw(size);
        for (unsigned char& byte : raw) byte = static_cast<unsigned char>(random());
        const std::vector<unsigned char> stream = tovana::StoredZlibStream(raw);
        std::vector<unsigned char> back(size + 1);
        uLongf length = static_cast<uLongf>(back.size());
        ASSERT_EQ(uncompress(back.data(), &length, stream.data(), static_cast<uLong>(stream.size())), Z_OK) << size;
        back.resize(length);
        EXPECT_EQ(back, raw) << size;
        EXPECT_EQ(tovana::BitwiseCrc32(raw.data(), raw.size()),
                  static_cast<std::uint32_t>(crc32(0L, raw.data(), static_cast<uInt>(raw.size()))))
            << size;
    }
}

}  // namespace
