// zmctl: the control info's memory and the link set-up: locate, set-serial, set-baud.

#include "cli/cli.h"
#include "ctrlinfo/ctrl_info.h"
#include "ctrlinfo/device_models.h"
#include "ctrlinfo/divisors.h"
#include "link/hex_text.h"

namespace zm::cli {

namespace {

int locate(Context &ctx, const Args &)
{
    QString error;
    const CtrlInfoDevice device = LocateCtrlInfo(ctx.commands, error);
    if (device == CtrlInfoDevice::None)
        return ctx.failed(error);
    print(ctrlInfoDeviceText(device));
    return kOk;
}

int setSerial(Context &ctx, const Args &a)
{
    const int serial = toInt(a.positional[0], QStringLiteral("N"), 0, 255);
    if (const uint8_t r = ctx.commands.setSerialNumber(uint8_t(serial)))
        return ctx.failed(r);
    printError(QStringLiteral("The chip now answers to serial number %1; give --serial %1 from now on.").arg(serial));
    return kOk;
}

// The index of a rate in a list of rate texts, or a usage error that lists them.
int rateIndex(const QString &text, const QStringList &rates)
{
    const int i = int(rates.indexOf(text));
    if (i < 0)
        usage(QStringLiteral("--rate must be one of %1: \"%2\"").arg(rates.join('|'), text));
    return i;
}

int setBaud(Context &ctx, const Args &a)
{
    const int port = choose(a.positional[0], QStringLiteral("the port"), {"mcu", "huart", "spi"});
    const auto clockText = a.option("--clock");
    const int clock = choose(clockText.value_or(QStringLiteral("27M")), QStringLiteral("--clock"), {"27m", "36m"});
    const auto rate = a.option("--rate");
    const auto index = a.option("--rate-index");
    uint8_t r = 0;
    switch (port) {
    case 0: {
        if (!rate || index)
            usage(QStringLiteral("set-baud mcu takes --rate R (%1) and --clock 27M|36M").arg(mcuBaudTexts().join('|')));
        const uint16_t value = mcuUartValue(clock, rateIndex(*rate, mcuBaudTexts()));
        r = ctx.commands.setBaudRateMcuUart(value);
        if (!r)
            print(QStringLiteral("Value: %1").arg(formatHex(value, 4)));
        break;
    }
    case 1: {
        // The high-speed UART runs from 27 MHz whatever the other clocks are.
        if (!rate || index || clockText)
            usage(QStringLiteral("set-baud huart takes --rate R (%1) only").arg(highSpeedBaudTexts().join('|')));
        const HighSpeedDivisor d = highSpeedDivisor(rateIndex(*rate, highSpeedBaudTexts()));
        r = ctx.commands.setBaudRateHuart(d.frac, d.inter);
        if (!r)
            print(QStringLiteral("Frac: %1 Inter: %2").arg(formatHex(d.frac, 4), formatHex(d.inter, 4)));
        break;
    }
    default: {
        if (!index || rate)
            usage(QStringLiteral("set-baud spi takes --rate-index I (0 for clock / 128 .. 6 for clock / 2) and "
                                 "--clock 27M|36M"));
        const int i = toInt(*index, QStringLiteral("--rate-index"), 0, kSpiRateCount - 1);
        const uint16_t divider = spiDivider(clock, i);
        r = ctx.commands.setBaudRateSpi(divider, kSpiSs);
        if (!r)
            print(QStringLiteral("Divider: %1 SS: %2 (%3)")
                      .arg(formatHex(divider, 4), formatHex(kSpiSs, 4), spiRateTexts(clock).at(i)));
        break;
    }
    }
    return r ? ctx.failed(r) : kOk;
}

} // namespace

void addCtrlInfoCommands(Table &table)
{
    table.commands << Command{"locate", "locate",
                              "finds the memory that holds the control info by its signature; prints\n"
                              "\"I2C E2prom\", \"SPI E2prom\" or \"SPI Flash\"",
                              0, 0, {}, locate}
                   << Command{"set-serial", "set-serial N",
                              "gives the chip the serial number N (0..255); later runs need --serial N", 1, 1, {},
                              setSerial}
                   << Command{"set-baud", "set-baud mcu|huart|spi ...",
                              "sets a port's bit rate as the Configuration window does:\n"
                              "set-baud mcu --rate 9600|19200|38400|57600|115200 [--clock 27M|36M]\n"
                              "set-baud huart --rate 38400|57600|115200|460800|921600\n"
                              "set-baud spi --rate-index 0..6 [--clock 27M|36M]  (clock / 128 .. clock / 2)\n"
                              "prints the divisor sent; a new rate of this PC's UART needs --baud next time",
                              1, 1, {{"--clock", true}, {"--rate", true}, {"--rate-index", true}}, setBaud};
}

} // namespace zm::cli
