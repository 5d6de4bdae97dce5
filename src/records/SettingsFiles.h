#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>
#include <optional>

#include "platform/FileLock.h"
#include "platform/XmlDocument.h"

// The data folder "$HOME/.Corvadenix" and the settings files in it. Settings files are read
// whole with the tidy option and written back whole, pretty-printed and atomically.
class SettingsFiles {
public:
    SettingsFiles() = delete;

    // "$HOME/.Corvadenix"; nothing is created.
    static QString dataFolder();
    // Creates the data folder with any missing parents and returns the path of the file in
    // it. A folder that cannot be created is not reported: the read or write that follows
    // fails instead.
    static QString preparedPath(const QString &fileName);
    // The file at the path parsed with the tidy option; nothing when it is missing or does
    // not parse.
    static std::optional<cvx::XmlDocument> load(const QString &path);

    // The root names of this program's files: "DATA" of the patient and check-measurement
    // files and of the single-value settings files ("CommSetting.xml", "ModeSetting.xml",
    // "USBSetting.xml", "DataTransfer.xml"), "HisSetting" of the hospital file, "Comments"
    // of the comment files.
    static inline const QString kDataRoot = QStringLiteral("DATA");
    static inline const QString kHisSettingRoot = QStringLiteral("HisSetting");
    static inline const QString kCommentsRoot = QStringLiteral("Comments");
    // The document read from a file that is to be written back, when it can be: nothing, as
    // for a file that cannot be read, when its root does not have that name (a writer never
    // writes into a file of another kind, such as a web page where a patient file belongs,
    // whose root it would take for one of its own), or when it holds a character that XML 1.0
    // cannot hold (cvx::isXmlText), which a tolerant read took and no write may keep.
    static std::optional<cvx::XmlDocument> toRewrite(std::optional<cvx::XmlDocument> doc,
                                                     const QString &root);
    // toRewrite(load(path), root).
    static std::optional<cvx::XmlDocument> loadToRewrite(const QString &path, const QString &root);

    // The bytes a document is written as, and the tree that a read of them gives as this
    // program reads its files (tidily), when that tree is the document's: every element with
    // its attributes, every text, comment and instruction in its place, a text as a reader
    // takes it (white space alone dropped, line ends as LF). Nothing when it is not, or the
    // document cannot be written (XmlDocument::save): a write of it would change what the
    // reading held, or what the write sets would not read back.
    struct Written {
        QByteArray bytes;
        cvx::XmlDocument read;
    };
    static std::optional<Written> writtenReadingBack(const cvx::XmlDocument &doc);
    // Writes the bytes atomically over the path; false when that failed, the file then as it was.
    static bool write(const Written &written, const QString &path);
    // The texts as a read of them written gives them back: a text of white space alone is
    // read as "", since a tidy read keeps no such text.
    static QStringList asReadBack(QStringList texts);

    // The list element's child elements named prefix + their position among its elements
    // from 1 ("data1", "data2", ...), in order; an element whose name does not match its
    // position is skipped. A comment or processing instruction is no place in the list.
    static QList<cvx::XmlElement> numberedEntries(const cvx::XmlElement &list, const QString &prefix);
    // The texts of those entries.
    static QStringList numberedTexts(const cvx::XmlElement &list, const QString &prefix);
    // Whether the element holds text of its own (a tidy read keeps no white-space text).
    static bool holdsText(const cvx::XmlElement &element);
    // Whether setNumberedTexts on the list element would remove nothing but what numberedTexts
    // shows of it: no text of its own (an entry taken for the list), and no element but the
    // entries at the places their numbers name, each holding text alone: no attribute, comment
    // or instruction.
    static bool holdsOnlyShownEntries(const cvx::XmlElement &list, const QString &prefix);
    // Replaces the child elements and text of the list element by prefix1, prefix2, ...
    // holding the texts. A comment or processing instruction stays after as many entries as stood before
    // it (after the last entry where the list is now shorter).
    static void setNumberedTexts(cvx::XmlElement &list, const QString &prefix, const QStringList &texts);

    // A recursive mutex that also holds, from the outermost lock to the matching unlock, an
    // advisory lock on the data folder, which other processes writing there take too.
    class WriteMutex {
    public:
        void lock();
        void unlock();
        // Unlocks and locks again; when this was the outermost hold and another thread waits,
        // that thread has the mutex in between.
        void letWaitingIn();

    private:
        std::recursive_mutex mutex_;
        int depth_ = 0;
        cvx::FileLock folderLock_;
        std::atomic<int> waiting_{0};
        std::atomic<unsigned> taken_{0};  // outermost locks so far
    };
    // Held around every read-modify-write of a file of the data folder (settings, patient and
    // check files), so that two writers (a window or the link, a background save or import,
    // or another process) do not drop each other's change.
    static WriteMutex &writeMutex();
    // Holds the write mutex over a run of writes of a bulk job, so that the folder lock is not
    // taken once per file, and lets other writers in between every `writesPerHold` writes.
    class WriteBatch {
    public:
        explicit WriteBatch(int writesPerHold = 64) : every_(writesPerHold) {}
        ~WriteBatch() { release(); }
        WriteBatch(const WriteBatch &) = delete;
        WriteBatch &operator=(const WriteBatch &) = delete;
        // Called before each write.
        void next();
        void release();

    private:
        int every_;
        int left_ = 0;
        bool held_ = false;
    };

    // The lock file in the data folder that makes one process its only user.
    static QString lockFilePath();
    enum class Claim { Claimed, HeldElsewhere, Unavailable };
    // Makes this process the data folder's one user until it ends: an advisory lock on
    // lockFilePath(), creating the folder when missing. HeldElsewhere when another running
    // process has it; then nothing is created or written. Unavailable when no lock can be
    // taken (such as a folder that cannot be created); the caller goes on unguarded.
    static Claim claimDataFolder();
    // When this process holds the claim and the data folder was moved away since (the
    // start-up's backup by move), claims the folder now at the path.
    static void followDataFolderClaim();
    // The data folder did not exist before this process claimed it, so it holds nothing of an
    // earlier run.
    static bool claimMadeDataFolder();
    // Ends this process's claim (tests run several start-ups in one process).
    static void releaseDataFolderClaim();

    // The entry at `path` is a temporary file of an atomic write of the program
    // (FileManager::isTemporaryName) of a kind the program writes in the data folder (".xml",
    // ".json"), and a plain file, not a link; a killed write leaves it.
    static bool isWriteLeftover(const QString &path);
    // Removes such leftovers from the data folder and from its Customer folder at every depth
    // (links are not followed), and only while this process holds the claim: then no other
    // copy can be writing there. The paths removed, relative to the data folder.
    static QStringList removeWriteLeftovers();
};
