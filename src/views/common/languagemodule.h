#pragma once

// The language module: one Qt binary resource file "Zem<code page>.rcc" holding every text,
// image and dialog layout the program shows. Nothing user-visible is built into the program
// except the message that the module is missing.
//
// Inside the module (mapped under ":/zem"):
//   strings.txt      the numbered string table, "number<TAB>text" a line (UTF-8; "\n", "\t"
//                    and "\\" are escapes; lines starting with "#" and empty lines are skipped)
//   images/<n>.png   bitmaps by number: 133 the small images (16 x 16 strip), 149 header,
//                    114 splash, 102 tips; toolbar<n>.png the toolbar strips; icon128-*.png
//   forms/<n>.ui     dialog layouts by number, controls named "c<number>"

#include <QPixmap>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>

class QWidget;

namespace views {

inline constexpr int kEnglishCodePage = 437;

// The OEM code page of a locale name such as "ja_JP.UTF-8" or "zh_TW": ja 932, zh_CN 936,
// ko 949, zh_TW 950, anything else 437. Traditional Chinese of Hong Kong and Macao counts as
// zh_TW, other Chinese as zh_CN.
int codePageForLocale(const QString &localeName);

// The language of a module's code page as Qt names translations and as the user guide names
// its folders: "ja" for 932, "zh_CN" 936, "ko" 949, "zh_TW" 950; empty for English and any
// other number.
QString languageOfCodePage(int codePage);

// RAVELIND_CODEPAGE when it holds a positive number, else the code page of the user's locale
// (LC_ALL, LC_MESSAGES, LANG, as the C library orders them).
int currentCodePage();

// The folders searched for a module, in order: the executable's folder, then
// ../share/ravelind beside it.
QStringList moduleSearchDirs(const QString &executableDir);

struct ModuleLocation
{
    QString path;
    int codePage = 0;      // the code page of the module found
    bool fellBack = false; // the wanted module was missing and the English one was taken
};

// The module for `codePage`, else the English one; nothing when neither exists in any of
// `dirs`. Looks at files only.
std::optional<ModuleLocation> findModule(int codePage, const QStringList &dirs);

class LanguageModule
{
public:
    // Registers the resource file; nothing when the file is not a readable module (then
    // `error` tells why).
    static std::unique_ptr<LanguageModule> open(const ModuleLocation &location, QString &error);
    LanguageModule(const LanguageModule &) = delete;
    LanguageModule &operator=(const LanguageModule &) = delete;
    ~LanguageModule();

    int codePage() const { return m_location.codePage; }
    const ModuleLocation &location() const { return m_location; }

    // The string of that number; "#<number>" when the table lacks it, so a gap shows up
    // instead of an empty label.
    QString text(int id) const;
    bool hasText(int id) const { return m_strings.count(id) != 0; }
    // The first part of a text with several parts separated by line feeds (for command
    // strings: menu text, status-bar prompt, tooltip).
    QString textPart(int id, int part) const;

    // Bitmap number `id`; a null pixmap when the module lacks it.
    QPixmap bitmap(int id) const;
    // An image by its file name below images/ (toolbar strips, icons).
    QPixmap image(const QString &fileName) const;
    // Cuts a strip of square images into its pieces.
    static QList<QPixmap> splitStrip(const QPixmap &strip, int size);

    // Builds dialog layout `id` with QUiLoader; nullptr (and `error`) when it cannot.
    // The caller owns the widget unless `parent` takes it.
    std::unique_ptr<QWidget> loadForm(int id, QWidget *parent, QString &error) const;
    // The numbers of every form in the module.
    QList<int> formIds() const;

    static QString rootPath(); // ":/zem"

private:
    explicit LanguageModule(ModuleLocation location);

    ModuleLocation m_location;
    std::map<int, QString> m_strings;
};

// Parses a string table in the format above into `table`; false with `error` ("line 7: ...")
// on the first malformed line. A number given twice is an error: one of the two texts would
// silently be lost.
bool parseStringTable(const QByteArray &data, std::map<int, QString> &table, QString &error);

} // namespace views
