// yomimaru-boardserver: a small HTTP server that serves a folder of bulletin
// boards the way the boards' own servers do, for tests, benchmarks and the
// demo. Its first line on stdout is "listening 127.0.0.1:PORT".

#include <cstdio>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include "BoardServer.h"
#include "BoardSite.h"

using namespace Qt::Literals::StringLiterals;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"yomimaru-boardserver"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(YOMIMARU_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Serves a folder of bulletin boards on 127.0.0.1."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption rootOption(
        u"root"_s, u"The folder of boards to serve (default: the sample boards of the source tree)."_s,
        u"dir"_s, QStringLiteral(YOMIMARU_SAMPLE_BOARDS));
    const QCommandLineOption portOption(u"port"_s, u"The port to listen on; 0 lets the system pick one."_s,
                                        u"port"_s, u"0"_s);
    const QCommandLineOption faultOption(
        u"fault"_s, u"Injects a fault: KIND[:VALUE][@PATH-SUBSTRING][#COUNT]. Repeatable; see the README."_s,
        u"rule"_s);
    const QCommandLineOption oldConfirmationOption(
        u"old-confirmation"_s, u"Answer first posts with the older confirmation form (on to subbbs.cgi)."_s);
    const QCommandLineOption domainOption(
        u"domain-5ch-io"_s,
        u"Link the boards as HOST.5ch.io and send HOST.5ch.net and HOST.2ch.net there."_s);
    const QCommandLineOption monaOption(
        u"mona-ticket"_s, u"Confirm posts as today's servers do, with the MonaTicket cookie."_s);
    const QCommandLineOption donguriOption(
        u"donguri"_s, u"Boards with BBS_ACORN=1 take posts only with the acorn cookie."_s);
    const QCommandLineOption sambaOption(
        u"samba"_s, u"A poster may post on a board once in this many seconds."_s, u"seconds"_s, u"0"_s);
    const QCommandLineOption directLinksOption(
        u"direct-links"_s, u"Rewrite links to the menu's hosts so that they point at this server."_s);
    const QCommandLineOption stdinOption(
        u"quit-on-stdin-eof"_s, u"Quit when standard input reaches its end (the parent went away)."_s);
    const QCommandLineOption verboseOption(u"verbose"_s, u"Log one line per request on stderr."_s);
    const QCommandLineOption certificateOption(
        u"tls-certificate"_s, u"PEM certificate for https hosts reached through CONNECT."_s, u"file"_s);
    const QCommandLineOption keyOption(u"tls-key"_s, u"PEM private key (RSA or EC) of that certificate."_s,
                                       u"file"_s);
    parser.addOptions({rootOption, portOption, faultOption, oldConfirmationOption, domainOption, monaOption,
                       donguriOption, sambaOption, directLinksOption, stdinOption, verboseOption,
                       certificateOption, keyOption});
    parser.process(app);

    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        std::fprintf(stderr, "yomimaru-boardserver: invalid port: %s\n",
                     qPrintable(parser.value(portOption)));
        return 2;
    }
    BoardServer::Options options;
    options.verbose = parser.isSet(verboseOption);
    for (const QString& text : parser.values(faultOption)) {
        QString error;
        const std::optional<FaultRule> rule = FaultRule::parse(text, &error);
        if (!rule) {
            std::fprintf(stderr, "yomimaru-boardserver: %s\n", qPrintable(error));
            return 2;
        }
        options.faults.append(*rule);
    }

    if (parser.isSet(certificateOption) != parser.isSet(keyOption)) {
        std::fprintf(stderr, "yomimaru-boardserver: --tls-certificate and --tls-key go together\n");
        return 2;
    }
    if (parser.isSet(certificateOption)) {
        QFile certificateFile(parser.value(certificateOption));
        QFile keyFile(parser.value(keyOption));
        if (certificateFile.open(QIODevice::ReadOnly)) {
            options.certificate = QSslCertificate(certificateFile.readAll(), QSsl::Pem);
        }
        if (keyFile.open(QIODevice::ReadOnly)) {
            const QByteArray pem = keyFile.readAll();
            options.privateKey = QSslKey(pem, QSsl::Rsa, QSsl::Pem);
            if (options.privateKey.isNull()) {
                options.privateKey = QSslKey(pem, QSsl::Ec, QSsl::Pem);
            }
        }
        if (options.certificate.isNull() || options.privateKey.isNull()) {
            std::fprintf(stderr, "yomimaru-boardserver: unreadable certificate or key\n");
            return 2;
        }
    }

    BoardSite::Options siteOptions;
    siteOptions.oldConfirmation = parser.isSet(oldConfirmationOption);
    siteOptions.domain5chIo = parser.isSet(domainOption);
    siteOptions.monaTicket = parser.isSet(monaOption);
    siteOptions.donguri = parser.isSet(donguriOption);
    bool sambaOk = false;
    siteOptions.sambaSeconds = parser.value(sambaOption).toInt(&sambaOk);
    if (!sambaOk || siteOptions.sambaSeconds < 0 || siteOptions.sambaSeconds > 86400) {
        std::fprintf(stderr, "yomimaru-boardserver: invalid samba seconds: %s\n",
                     qPrintable(parser.value(sambaOption)));
        return 2;
    }
    BoardSite site(QDir(parser.value(rootOption)).absolutePath(), siteOptions);
    if (!site.isValid()) {
        std::fprintf(stderr, "yomimaru-boardserver: no such folder: %s\n",
                     qPrintable(parser.value(rootOption)));
        return 2;
    }

    BoardServer server(site, options);
    if (!server.listen(static_cast<quint16>(port))) {
        std::fprintf(stderr, "yomimaru-boardserver: cannot listen on 127.0.0.1:%u: %s\n", port,
                     qPrintable(server.errorString()));
        return 1;
    }
    if (parser.isSet(directLinksOption)) {
        site.setDirectLinks("127.0.0.1:" + QByteArray::number(server.port()));
    }

    std::printf("listening 127.0.0.1:%u\n", static_cast<unsigned>(server.port()));
    std::fflush(stdout);

    // A test that dies without stopping the server closes the server's stdin,
    // and the server goes with it.
    QSocketNotifier stdinNotifier(STDIN_FILENO, QSocketNotifier::Read);
    stdinNotifier.setEnabled(parser.isSet(stdinOption));
    QObject::connect(&stdinNotifier, &QSocketNotifier::activated, &app, [&stdinNotifier] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            stdinNotifier.setEnabled(false);
            QCoreApplication::quit();
        }
    });

    return QCoreApplication::exec();
}
