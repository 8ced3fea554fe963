// zmctl: the camera features: clock, zoom and down-size, gamma, and the mode groups. Each
// command sends exactly the frames of its window.

#include "cli/cli.h"
#include "features/gamma.h"
#include "features/mode_features.h"
#include "features/rtc_text.h"
#include "features/zoom.h"

#include "link/input_file.h"

#include <QDateTime>
#include <QFileInfo>

namespace zm::cli {

namespace {

const QStringList kSources = {"gpio", "uart"};

int timeGet(Context &ctx, const Args &)
{
    RtcTime t;
    if (const uint8_t r = ctx.commands.getTime(t))
        return ctx.failed(r);
    print(rtcText(t));
    return kOk;
}

int timeSet(Context &ctx, const Args &a)
{
    // The date and the time may come as one argument or as two.
    const QString text = a.positional.join(' ');
    std::optional<RtcTime> t;
    if (text == QLatin1String("now")) {
        const QDateTime now = QDateTime::currentDateTime();
        t = rtcTime(now.date(), now.time());
    } else {
        t = parseRtcText(text);
    }
    if (!t)
        usage(QStringLiteral("the time must be now or \"YYYY-MM-DD hh:mm:ss\" of a real date: \"%1\"").arg(text));
    const uint8_t r = ctx.commands.setTime(*t);
    return r ? ctx.failed(r) : kOk;
}

int zoomGet(Context &ctx, const Args &)
{
    ZoomInfo z;
    if (const uint8_t r = ctx.commands.getZoom(z))
        return ctx.failed(r);
    print(QStringLiteral("SrcWidth=%1 SrcHeight=%2 ZoomWidth=%3 ZoomHeight=%4 hStartPos=%5 vStartPos=%6")
              .arg(z.sourceWidth).arg(z.sourceHeight).arg(z.zoom.width).arg(z.zoom.height)
              .arg(z.zoom.hStart).arg(z.zoom.vStart));
    return kOk;
}

int zoomSet(Context &ctx, const Args &a)
{
    const QStringList names = {"W", "H", "X", "Y"};
    uint16_t v[4];
    for (int i = 0; i < 4; ++i)
        v[i] = uint16_t(toInt(a.positional[i], names[i], 0, 65535));
    const uint8_t r = ctx.commands.setZoom(ZoomRect{v[0], v[1], v[2], v[3]});
    return r ? ctx.failed(r) : kOk;
}

int downSizeGet(Context &ctx, const Args &)
{
    uint8_t b = 0;
    if (const uint8_t r = ctx.commands.getDownSize(b))
        return ctx.failed(r);
    // An index without a name (3) is shown as the raw index.
    auto name = [](int i) { return downSizeNames().value(i, QStringLiteral("index %1").arg(i)); };
    print(QStringLiteral("Hor=%1 Ver=%2").arg(name(downSizeHorizontal(b)), name(downSizeVertical(b))));
    return kOk;
}

int downSizeSet(Context &ctx, const Args &a)
{
    const int h = choose(a.positional[0], QStringLiteral("H"), downSizeNames());
    const int v = choose(a.positional[1], QStringLiteral("V"), downSizeNames());
    const uint8_t r = ctx.commands.setDownSize(downSizeByte(h, v));
    return r ? ctx.failed(r) : kOk;
}

int gammaGet(Context &ctx, const Args &)
{
    GammaTable t{};
    if (const uint8_t r = readGamma(ctx.commands, t))
        return ctx.failed(r);
    print(gammaRows(t));
    return kOk;
}

int gammaSet(Context &ctx, const Args &a)
{
    GammaTable table = kDefaultGamma;
    const QString &source = a.positional[0];
    if (source != QLatin1String("default")) {
        if (!QFileInfo::exists(source))
            usage(QStringLiteral("default|FILE must be default or a file that exists: \"%1\"").arg(source));
        // 32 numbers take a few hundred bytes however they are laid out; a file far longer is not a
        // gamma table, and is not read further.
        constexpr qint64 kMaxGammaText = 64 * 1024;
        const InputFile in = InputFile::read(source, kMaxGammaText, InputFile::Streams, ctx.stop);
        if (in.status == InputFile::Status::Stopped)
            return ctx.interrupted();
        if (in.status == InputFile::Status::TooLong)
            usage(QStringLiteral("%1; a gamma table is 32 numbers").arg(in.error));
        if (!in.ok()) {
            printError(QStringLiteral("Cannot read %1").arg(in.error));
            return kFailed;
        }
        QString error;
        const auto parsed = parseGammaText(QString::fromLatin1(in.data), &error);
        if (!parsed)
            usage(QStringLiteral("%1: %2").arg(source, error));
        table = *parsed;
    }
    const uint8_t r = writeGamma(ctx.commands, table);
    return r ? ctx.failed(r) : kOk;
}

const ModeFeatureInfo &featureNamed(const QString &name)
{
    QStringList names;
    for (ModeFeature f : modeFeatures()) {
        if (modeFeatureInfo(f).name == name)
            return modeFeatureInfo(f);
        names << modeFeatureInfo(f).name;
    }
    usage(QStringLiteral("NAME must be one of %1: \"%2\"").arg(names.join('|'), name));
}

int featureGet(Context &ctx, const Args &a)
{
    const ModeFeatureInfo &info = featureNamed(a.positional[0]);
    ModeRecord record;
    if (const uint8_t r = getMode(ctx.commands, info.feature, record))
        return ctx.failed(r);
    const auto choice = info.choiceOf(record.mode);
    print(QStringLiteral("source=%1 mode=%2")
              .arg(kSources.value(record.source, QString::number(record.source)),
                   choice ? choice->name : QString::number(record.mode)));
    return kOk;
}

int featureSet(Context &ctx, const Args &a)
{
    const ModeFeatureInfo &info = featureNamed(a.positional[0]);
    const auto source = a.option("--source");
    const auto mode = a.option("--mode");
    QStringList modes;
    for (const ModeChoice &c : info.choices)
        modes << c.name;
    if (!source || !mode)
        usage(QStringLiteral("feature-set %1 needs --source gpio|uart and --mode %2").arg(info.name, modes.join('|')));
    ModeRecord record;
    record.source = uint8_t(choose(*source, QStringLiteral("--source"), kSources));
    record.mode = info.choices[choose(*mode, QStringLiteral("--mode"), modes)].value;
    const uint8_t r = setMode(ctx.commands, info.feature, record);
    return r ? ctx.failed(r) : kOk;
}

QString featureModes()
{
    QStringList lines;
    for (ModeFeature f : modeFeatures()) {
        const ModeFeatureInfo &info = modeFeatureInfo(f);
        QStringList modes;
        for (const ModeChoice &c : info.choices)
            modes << c.name;
        lines << QStringLiteral("  %1 %2").arg(info.name.leftJustified(11), modes.join('|'));
    }
    return lines.join('\n');
}

} // namespace

void addFeatureCommands(Table &table)
{
    QStringList names;
    for (ModeFeature f : modeFeatures())
        names << modeFeatureInfo(f).name;
    Command featureGetCommand{"feature-get", "feature-get NAME",
                              "prints the control source and mode of a feature as source=.. mode=..",
                              "zmctl --port /dev/ttyUSB0 feature-get color", 1, 1, {}, featureGet};
    featureGetCommand.choices << Choice{"NAME", names};
    Command featureSetCommand{"feature-set", "feature-set NAME --source gpio|uart --mode VALUE",
                              "sets the control source and mode of a feature",
                              "zmctl --port /dev/ttyUSB0 feature-set mirror --source uart --mode mirror", 1, 1,
                              {{"--source", "SOURCE", "who controls the feature", kSources},
                               {"--mode", "VALUE", "the feature's mode, by NAME:"}},
                              featureSet};
    featureSetCommand.choices << Choice{"NAME", names};
    for (ModeFeature f : modeFeatures()) {
        const ModeFeatureInfo &info = modeFeatureInfo(f);
        QStringList modes;
        for (const ModeChoice &c : info.choices)
            modes << c.name;
        featureSetCommand.choices << Choice{"--mode", modes, info.name};
    }
    Command downSizeSetCommand{"downsize-set", "downsize-set H V", "sets the down-size; H and V are 1, 1/2 or 1/4",
                               "zmctl --port /dev/ttyUSB0 downsize-set 1/2 1/2", 2, 2, {}, downSizeSet};
    downSizeSetCommand.choices << Choice{"H", downSizeNames()} << Choice{"V", downSizeNames()};
    Command timeSetCommand{"time-set", "time-set now|\"YYYY-MM-DD hh:mm:ss\"",
                           "sets the chip's clock to the PC's local time or the time given",
                           "zmctl --port /dev/ttyUSB0 time-set \"2024-05-01 12:00:00\"", 1, 2, {}, timeSet};
    Command gammaSetCommand{"gamma-set", "gamma-set default|FILE",
                            "writes the default table, or the 32 numbers of FILE (X1..X15 then\n"
                            "Y0..Y16, decimal or 0x hex, separated by blanks or commas; what\n"
                            "gamma-get prints), then 2 to the update register 0x1904",
                            "zmctl --port /dev/ttyUSB0 gamma-set gamma.txt", 1, 1, {}, gammaSet};
    table.commands << Command{"time-get", "time-get", "prints the chip's clock as YYYY-MM-DD hh:mm:ss",
                              "zmctl --port /dev/ttyUSB0 time-get", 0, 0, {}, timeGet}
                   << timeSetCommand
                   << Command{"zoom-get", "zoom-get",
                              "prints the source size and the zoom rectangle as SrcWidth=.. SrcHeight=..\n"
                              "ZoomWidth=.. ZoomHeight=.. hStartPos=.. vStartPos=..",
                              "zmctl --port /dev/ttyUSB0 zoom-get", 0, 0, {}, zoomGet}
                   << Command{"zoom-set", "zoom-set W H X Y",
                              "sets the zoom rectangle: width, height, left and top edge (decimal); the chip\n"
                              "refuses one that leaves the source (Invalid data format)",
                              "zmctl --port /dev/ttyUSB0 zoom-set 320 240 160 120", 4, 4, {}, zoomSet}
                   << Command{"downsize-get", "downsize-get", "prints the down-size as Hor=.. Ver=..",
                              "zmctl --port /dev/ttyUSB0 downsize-get", 0, 0, {}, downSizeGet}
                   << downSizeSetCommand
                   << Command{"gamma-get", "gamma-get", "prints the gamma table: X1..X15 on one line, Y0..Y16 on the next",
                              "zmctl --port /dev/ttyUSB0 gamma-get > gamma.txt", 0, 0, {}, gammaGet}
                   << gammaSetCommand << featureGetCommand << featureSetCommand;
    table.notes << QStringLiteral("Features (NAME) and their modes (VALUE):\n") + featureModes();
}

} // namespace zm::cli
