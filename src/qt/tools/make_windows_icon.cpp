// Writes the Windows program's icon file from the same drawing as the Qt
// window's icon, so the two windows show one picture:
//
//   make_windows_icon OUTPUT.ico
//
// Each size is stored as a 32-bit image with straight alpha and the one-bit
// mask older renderers look at. tests/ui/windows_icon_test.cpp checks that
// the file in the tree still matches the drawing.

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QtEndian>
#include <cstdio>

#include "qt/app_icon.h"

namespace {

void put16(QByteArray& out, quint16 value) {
    const quint16 little = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&little), 2);
}

void put32(QByteArray& out, quint32 value) {
    const quint32 little = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&little), 4);
}

// A BITMAPINFOHEADER, the colour rows bottom-up in BGRA, then the mask rows
// (set where the picture is fully transparent), each padded to four bytes.
QByteArray iconImage(const QImage& image) {
    const int side = image.width();
    QByteArray out;
    put32(out, 40);
    put32(out, static_cast<quint32>(side));
    put32(out, static_cast<quint32>(2 * side));  // colour and mask together
    put16(out, 1);
    put16(out, 32);
    for (int i = 0; i < 6; ++i) put32(out, 0);
    for (int y = side - 1; y >= 0; --y)
        for (int x = 0; x < side; ++x) put32(out, image.pixel(x, y));  // 0xAARRGGBB is BGRA in memory
    const int maskRowBytes = ((side + 31) / 32) * 4;
    for (int y = side - 1; y >= 0; --y) {
        QByteArray row(maskRowBytes, '\0');
        for (int x = 0; x < side; ++x)
            if (qAlpha(image.pixel(x, y)) == 0)
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        out.append(row);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_windows_icon OUTPUT.ico\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QList<int> sizes = mirvane::appIconSizes();
    QList<QByteArray> images;
    for (int size : sizes)
        images << iconImage(mirvane::appIcon().pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32));

    QByteArray file;
    put16(file, 0);
    put16(file, 1);  // an icon
    put16(file, static_cast<quint16>(images.size()));
    quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
    for (qsizetype i = 0; i < images.size(); ++i) {
        const int size = sizes[i];
        file.append(static_cast<char>(size >= 256 ? 0 : size));
        file.append(static_cast<char>(size >= 256 ? 0 : size));
        file.append('\0');  // no palette
        file.append('\0');
        put16(file, 1);
        put16(file, 32);
        put32(file, static_cast<quint32>(images[i].size()));
        put32(file, offset);
        offset += static_cast<quint32>(images[i].size());
    }
    for (const QByteArray& image : images) file.append(image);

    QFile output(QString::fromLocal8Bit(argv[1]));
    if (!output.open(QIODevice::WriteOnly) || output.write(file) != file.size()) {
        std::fprintf(stderr, "make_windows_icon: %s\n", qPrintable(output.errorString()));
        return 1;
    }
    return 0;
}
