// Feeds every file of the given corpus folders (or single files) to the fuzz
// target once, in name order, so that the test command checks each input that
// once mattered with the ordinary compiler.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    QStringList inputs;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QFile::decodeName(argv[i]);
        if (QFileInfo(argument).isDir()) {
            const QDir dir(argument);
            for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
                inputs.append(dir.filePath(name));
        } else {
            inputs.append(argument);
        }
    }
    if (inputs.isEmpty()) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR_OR_FILE...: no input found\n", argv[0]);
        return 2;
    }
    for (const QString& path : inputs) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
            return 2;
        }
        const QByteArray bytes = file.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                               size_t(bytes.size()));
    }
    std::printf("replayed %lld inputs\n", static_cast<long long>(inputs.size()));
    return 0;
}
