#pragma once

#include <QString>

#include <functional>
#include <memory>

// The data-link folder panel of the maintenance screen without its widgets: what the panel
// shows for the INPUT or the OUTPUT folder, what its OK and Clear store in
// "DataTransfer.xml", and the import that a newly stored INPUT folder starts. The window maps
// each answer onto its widgets. Main thread.
class DataLinkFolders {
public:
    enum class Folder { Input = 1, Output = 2 };  // the panel's btnTag

    // The panel as it opens.
    struct Panel {
        QString background;  // "画面_データ連携読込み指定" or "画面_データ連携保存先指定"
        int textFieldX = 0;       // 390 INPUT, 360 OUTPUT
        bool showsClear = false;  // only OUTPUT can be cleared
        QString path;             // the stored folder, "" for none
    };

    // What the panel does after OK or Clear.
    struct Result {
        enum class Kind {
            Nothing,    // stays as it is
            Close,      // hideCsvView
            Picture,    // the result layout with `picture`
            Importing,  // stays open with its buttons; the import's result follows
        };
        Kind kind = Kind::Nothing;
        QString picture;
        int resultY = 280;
        int resultH = 85;
    };

    // Starts the data-link import from the stored INPUT folder. True when it started; it then
    // calls `done` exactly once, on any thread, with whether it succeeded. Installed by the
    // application, which links the data link; without one, or when it starts nothing, saving
    // an INPUT folder reports the import as failed.
    using ImportDone = std::function<void(bool)>;
    using Import = std::function<bool(ImportDone done)>;
    static void setImport(Import import);

    DataLinkFolders();
    ~DataLinkFolders();
    DataLinkFolders(const DataLinkFolders &) = delete;
    DataLinkFolders &operator=(const DataLinkFolders &) = delete;

    Folder btnTag() const { return btnTag_; }

    // userTap / csvTap: the panel for the folder, with the stored path.
    Panel showCsvView(Folder folder);

    // csvOk with the text of the path field. An empty text gives "W306" (INPUT) or "W305"
    // (OUTPUT); outside a data-link mode nothing happens. OUTPUT is stored and the panel
    // closes. INPUT is stored and the import starts (Importing); its end reaches
    // `importFinished` on the main thread, Close or "E404", unless this object is gone by
    // then. While that import runs a second OK does nothing. A folder that may not serve the
    // data link (UsbUtils::isRefusedLinkFolder) gives "folder_refused" and stores nothing; one
    // that could not be stored gives "E403" and starts no import.
    Result csvOk(const QString &pathText, std::function<void(const Result &)> importFinished);

    // csvClear: stores an empty OUTPUT folder; "clear_success" in the taller result area
    // (272, 93), or "E403" when it could not be stored. Nothing on the INPUT panel.
    Result csvClear();

    bool isImporting() const;

private:
    struct Alive;
    Folder btnTag_ = Folder::Input;
    std::shared_ptr<Alive> alive_;
};
