// The fuzz targets' own main where the compiler has no libFuzzer: each target is run over its
// seed corpus and over inputs made from it (every cut of each seed, and seeds with bytes
// changed, put in or taken out by a fixed random sequence), so that every test run checks the
// readers of outside input on them under the sanitizers.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

constexpr int kChangedPerSeed = 300;

void run(const QByteArray &input) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(input.constData()), std::size_t(input.size()));
}

QByteArray changed(QByteArray input, std::mt19937 &rng) {
    // Bytes the readers split and decode by, beside random ones.
    static const char kTelling[] = {'<', '>', '/', '"', '&', ',', '\t', '\r', '\n', ':', '-', '\0',
                                    char(0x81), char(0xFF), char(0xFE), char(0xE3)};
    const auto below = [&rng](qsizetype n) { return n <= 0 ? 0 : qsizetype(rng() % std::uint32_t(n)); };
    const auto byte = [&] { return rng() % 2 ? kTelling[below(sizeof kTelling)] : char(rng()); };
    for (int edits = 1 + int(below(4)); edits > 0; --edits) {
        const qsizetype at = below(input.size() + 1);
        switch (below(5)) {
            case 0:
                if (at < input.size()) input[at] = byte();
                break;
            case 1:
                input.insert(at, byte());
                break;
            case 2:
                input.remove(at, 1 + below(16));
                break;
            case 3:  // a piece repeated, as in a doubled record
                input.insert(at, input.mid(below(input.size()), 1 + below(64)));
                break;
            default:
                input.truncate(at);
        }
    }
    return input;
}

}  // namespace

int main(int argc, char **argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    std::vector<QByteArray> seeds;
    for (int i = 1; i < argc; ++i) {
        const QFileInfo given(QString::fromLocal8Bit(argv[i]));
        const QStringList paths =
            given.isDir() ? QStringList(QDir(given.filePath()).entryList(QDir::Files, QDir::Name))
                          : QStringList{given.fileName()};
        for (const QString &name : paths) {
            QFile file(given.isDir() ? QDir(given.filePath()).filePath(name) : given.filePath());
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
                return 2;
            }
            seeds.push_back(file.readAll());
        }
    }
    if (seeds.empty()) {
        std::fprintf(stderr, "usage: %s <corpus folder or file>...\n", argv[0]);
        return 2;
    }
    std::mt19937 rng(20261207);
    long inputs = 0;
    for (const QByteArray &seed : seeds) {
        run(seed);
        const qsizetype step = std::max<qsizetype>(1, seed.size() / 64);
        for (qsizetype cut = 0; cut < seed.size(); cut += step) run(seed.left(cut));
        for (int i = 0; i < kChangedPerSeed; ++i) run(changed(seed, rng));
        inputs += 1 + (seed.size() + step - 1) / step + kChangedPerSeed;
    }
    std::printf("%ld inputs from %zu seeds\n", inputs, seeds.size());
    return 0;
}
