// Word recall of text recognition on drawn screenshots whose words are known, for Brimfold's
// recogniser and for the tesseract command with its default settings on the same files and
// languages.
//
//   bench_ocr_recall [--missed] [--keep DIR] [--only NAME] [--languages eng+ara+deu+rus]
//
// A word counts as found when it occurs among the recognised words as often as it was drawn;
// both sides are compared after the search's own normalisation, so a word counts exactly when
// searching for it would find the picture. Prints recall per picture, per language (English,
// Arabic, German, Russian: Arabic and Cyrillic words by their script, Latin ones by the
// picture's language) and overall, flags every picture where Brimfold finds fewer words than
// the command, and ends with "ratio: <Brimfold recall / command recall>".
//
// The languages are the program's own (English, Arabic and the locale's) unless --languages
// names engine codes; the command reads with the same. The German and Russian pictures need
// their data: apt-get install tesseract-ocr-deu tesseract-ocr-rus.

#include "RecallCorpus.h"

#include "platform/ImageServices.h"
#include "platform/image/SystemImageServices.h"
#include "text/RecognitionLanguages.h"
#include "core/ScreenshotTextSearch.h"
#include "text/TesseractRecognizer.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstdio>
#include <map>

namespace {

// PNG as a screenshot tool without resolution metadata writes it: Qt always adds a pHYs
// chunk, which would hand the command a resolution the program never sees.
QByteArray pngWithoutResolution(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "png"))
        return {};
    QByteArray out = bytes.left(8);
    for (qsizetype at = 8; at + 12 <= bytes.size();) {
        const qsizetype length = qFromBigEndian<quint32>(bytes.constData() + at);
        const qsizetype chunk = 12 + length;
        if (bytes.mid(at + 4, 4) != "pHYs")
            out += bytes.mid(at, chunk);
        at += chunk;
    }
    return out;
}

// The language a word counts for: by its script, else the picture's.
QString languageOf(const QString &word, const QString &pictureLanguage)
{
    for (const QChar c : word) {
        if (c.script() == QChar::Script_Arabic)
            return QStringLiteral("Arabic");
        if (c.script() == QChar::Script_Cyrillic)
            return QStringLiteral("Russian");
    }
    return pictureLanguage;
}

// The words of a text after the search's normalisation: runs of letters, digits and marks.
QStringList words(const QString &text)
{
    const QString normalized = ScreenshotTextSearch::normalize(text);
    QStringList out;
    QString current;
    for (const QChar c : normalized) {
        if (c.isLetterOrNumber() || c.isMark()) {
            current += c;
        } else if (!current.isEmpty()) {
            out.append(current);
            current.clear();
        }
    }
    if (!current.isEmpty())
        out.append(current);
    return out;
}

// Words by language.
struct Score
{
    std::map<QString, int> words;
    int total() const
    {
        int sum = 0;
        for (const auto &[language, count] : words)
            sum += count;
        return sum;
    }
    int of(const QString &language) const
    {
        const auto found = words.find(language);
        return found == words.end() ? 0 : found->second;
    }
    Score &operator+=(const Score &other)
    {
        for (const auto &[language, count] : other.words)
            words[language] += count;
        return *this;
    }
};

// How many of the expected words the text holds, each at most as often as it occurs there.
Score found(const QStringList &expected, const QString &language, const QString &text, QStringList *missed)
{
    QHash<QString, int> available;
    for (const QString &word : words(text))
        ++available[word];
    Score score;
    for (const QString &word : expected) {
        int &left = available[word];
        if (left > 0) {
            --left;
            ++score.words[languageOf(word, language)];
        } else if (missed) {
            missed->append(word);
        }
    }
    return score;
}

Score counted(const QStringList &expected, const QString &language)
{
    Score score;
    for (const QString &word : expected)
        ++score.words[languageOf(word, language)];
    return score;
}

QString percent(int part, int whole)
{
    return whole ? QString::number(100.0 * part / whole, 'f', 1) + QLatin1Char('%') : QStringLiteral("-");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ImageServices::applyAllocationLimit();
    const QStringList arguments = app.arguments();
    const bool showMissed = arguments.contains(QLatin1String("--missed"));
    const auto option = [&](const char *name) {
        const qsizetype at = arguments.indexOf(QLatin1String(name));
        return at > 0 && at + 1 < arguments.size() ? arguments[at + 1] : QString();
    };

    QTemporaryDir temporary;
    const QString folder = option("--keep").isEmpty() ? temporary.path() : option("--keep");
    QDir().mkpath(folder);
    const QString only = option("--only");

    const SystemImageServices images;
    TesseractRecognizer recognizer(QString(), images);
    if (const QString wanted = option("--languages"); !wanted.isEmpty()) {
        QList<RecognitionLanguage> extra;
        for (const QString &code : wanted.split(QLatin1Char('+'), Qt::SkipEmptyParts)) {
            const std::optional<RecognitionLanguage> language = RecognitionLanguages::forCode(code);
            if (!language) {
                std::fprintf(stderr, "unknown language %s\n", qPrintable(code));
                return 1;
            }
            if (!RecognitionLanguages::base().contains(*language))
                extra.append(*language);
        }
        recognizer.setUserLanguages(extra);
    }
    const auto configured = recognizer.capabilities();
    const auto *capabilities = std::get_if<TextRecognitionCapabilities>(&configured);
    if (!capabilities || capabilities->languages.isEmpty()) {
        std::fprintf(stderr, "recognition unavailable\n");
        return 1;
    }
    if (!capabilities->missingLanguages.isEmpty())
        std::printf("not installed, so not read: %s\n", qPrintable(capabilities->missingLanguages.join(QLatin1Char(' '))));
    QStringList codes;
    for (const QString &tag : capabilities->languages)
        codes << RecognitionLanguages::forTag(tag)->code;
    const QString program = QStandardPaths::findExecutable(QStringLiteral("tesseract"));
    if (program.isEmpty()) {
        std::fprintf(stderr, "the tesseract command is not installed\n");
        return 1;
    }
    std::printf("Brimfold %s | command: tesseract IMAGE stdout -l %s\n", qPrintable(capabilities->identifier),
                qPrintable(codes.join(QLatin1Char('+'))));
    std::printf("%-30s %6s | %-16s | %-16s\n", "picture", "words", "Brimfold", "command");

    Score expectedAll, oursAll, commandAll;
    double oursMs = 0, commandMs = 0;
    QStringList worse;
    for (const RecallCorpus::Picture &picture : RecallCorpus::pictures()) {
        if (!only.isEmpty() && picture.name != only)
            continue;
        const QString path = QDir(folder).filePath(picture.name + QStringLiteral(".png"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(pngWithoutResolution(picture.image)) <= 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        file.close();
        const QStringList expected = words(picture.drawn.join(QLatin1Char('\n')));

        QElapsedTimer timer;
        timer.start();
        const auto result = recognizer.recognize(path, *capabilities);
        oursMs += double(timer.nsecsElapsed()) / 1e6;
        const RecognizedText *read = std::get_if<RecognizedText>(&result);
        const QString *ours = read ? &read->text : nullptr;
        if (!ours) {
            std::fprintf(stderr, "%s: Brimfold failed (%d)\n", qPrintable(picture.name),
                         int(std::get<TextRecognitionError>(result)));
            return 1;
        }

        QProcess command;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));
        command.setProcessEnvironment(environment);
        timer.restart();
        command.start(program, {path, QStringLiteral("stdout"), QStringLiteral("-l"), codes.join(QLatin1Char('+'))});
        if (!command.waitForFinished(600000) || command.exitCode() != 0) {
            std::fprintf(stderr, "%s: the command failed\n", qPrintable(picture.name));
            return 1;
        }
        commandMs += double(timer.nsecsElapsed()) / 1e6;
        const QString commandText = QString::fromUtf8(command.readAllStandardOutput());

        QStringList oursMissed, commandMissed;
        const Score total = counted(expected, picture.language);
        const Score o = found(expected, picture.language, *ours, &oursMissed);
        const Score t = found(expected, picture.language, commandText, &commandMissed);
        expectedAll += total;
        oursAll += o;
        commandAll += t;
        if (o.total() < t.total())
            worse.append(picture.name);
        std::printf("%-30s %6d | %4d  %9s | %4d  %9s%s\n", qPrintable(picture.name), total.total(), o.total(),
                    qPrintable(percent(o.total(), total.total())), t.total(),
                    qPrintable(percent(t.total(), total.total())), o.total() < t.total() ? "  FEWER" : "");
        if (showMissed) {
            std::printf("    Brimfold missed: %s\n    command missed:  %s\n", qPrintable(oursMissed.join(QLatin1Char(' '))),
                        qPrintable(commandMissed.join(QLatin1Char(' '))));
        }
    }

    for (const char *name : {"English", "Arabic", "German", "Russian"}) {
        const QString language = QString::fromLatin1(name);
        const int expected = expectedAll.of(language), ours = oursAll.of(language), theirs = commandAll.of(language);
        if (expected == 0)
            continue;
        std::printf("%-8s words %5d | %4d  %9s | %4d  %9s | ratio %.3f\n", name, expected, ours,
                    qPrintable(percent(ours, expected)), theirs, qPrintable(percent(theirs, expected)),
                    theirs > 0 ? double(ours) / theirs : 0.0);
    }
    std::printf("all words      %5d | %4d  %9s | %4d  %9s\n", expectedAll.total(), oursAll.total(),
                qPrintable(percent(oursAll.total(), expectedAll.total())), commandAll.total(),
                qPrintable(percent(commandAll.total(), expectedAll.total())));
    std::printf("time: Brimfold %.1f s, command %.1f s (one thread)\n", oursMs / 1000, commandMs / 1000);
    std::printf("pictures where Brimfold finds fewer words than the command: %s\n",
                worse.isEmpty() ? "none" : qPrintable(worse.join(QStringLiteral(", "))));
    const double ours = expectedAll.total() ? double(oursAll.total()) / expectedAll.total() : 0;
    const double theirs = expectedAll.total() ? double(commandAll.total()) / expectedAll.total() : 0;
    std::printf("ratio: %.3f\n", theirs > 0 ? ours / theirs : 0.0);
    return 0;
}
