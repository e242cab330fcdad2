// The converter window: the two-step wizard in which one conversion runs. One class serves
// both VKDC12 (1.0 to 2.0) and VKDC23 (2.0 to 3.0); the pair decides the texts and the fixed
// values. The window only gathers input and shows results: analysing, converting and saving
// are done by vkdc::Conversion, the same core that `vkdc-cli convert` runs.
//
// Every control carries the object name of the design. Besides the visible steps the window
// holds the hidden machinery by name: the analysis button `AnalysisDB`, the flag labels
// `Label3` and `Label1`, the table frames `Frame1`..`Frame4` with their bound boxes and
// `Convert_*` buttons, and the eight data controls (DataControlView objects).
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <memory>

#include "store/version_pair.h"
#include "convert/conversion.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace vkdc {

class Dialogs;
struct ConverterTexts;

// Stands for one data control of the window (`User_Old`, `Adodc3`, ...). The database work
// is the core's; this mirrors the connection the core made, so it can be inspected by name.
class DataControlView : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ConnectionString MEMBER connectionString)
    Q_PROPERTY(QString RecordSource MEMBER recordSource)
    Q_PROPERTY(QString Table MEMBER table CONSTANT)
    Q_PROPERTY(bool NewSide MEMBER newSide CONSTANT)
  public:
    DataControlView(const QString& name, const QString& table, bool new_side, QObject* parent);

    QString connectionString;
    QString recordSource;
    QString table;
    bool newSide = false;
};

class ConverterWindow : public QDialog {
    Q_OBJECT
  public:
    // A window for `pair`, owned by `owner` (shown modally over it). `dialogs` must outlive it.
    ConverterWindow(PairId pair, Dialogs& dialogs, QWidget* owner = nullptr);
    ~ConverterWindow() override;

    PairId pairId() const { return pair_.id; }
    const VersionPair& versionPair() const { return pair_; }

    // Folder of the installed template; by default the first install folder that holds it.
    void setTemplateDir(const QString& dir) { template_dir_ = dir; }
    QString templateDir() const;
    // Folder for the private working copy of the template (the system temp folder if empty).
    void setWorkDir(const QString& dir) { work_dir_ = dir; }
    // What F1 runs, with this window as the owner of the guide it shows.
    void setGuideOpener(std::function<void(QWidget*)> opener) { guide_opener_ = std::move(opener); }
    // How long a conversion runs before its progress bar appears.
    void setProgressDelay(int ms) { progress_delay_ms_ = ms; }

    // The conversion of this showing (nullptr before the first analysis and after closing),
    // and the result of its last conversion.
    const Conversion* conversion() const { return conversion_.get(); }
    const ConversionReport& report() const { return report_; }
    // How many times the progress bar was shown during this showing's conversion.
    int progressShown() const { return progress_shown_; }

  signals:
    // A save succeeded and the window closed: the program is to end now.
    void programEndRequested();

  public slots:
    void browseOpen();       // BrowseOpen
    void analyse();          // AnalysisDB
    void convertDatabase();  // ConvertDB
    void browseSave();       // BrowseSave
    void saveDatabase();     // SaveDB
    void showGuide();        // F1

    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void build();
    void buildTableFrames();
    void load();
    void onProgress(uint64_t done, uint64_t total);
    void message(int icon, const QString& text, const QString& detail = {});
    QString sourceProblemText(const Outcome& outcome) const;
    QString rowsLostDetail(const Outcome& outcome) const;

    const VersionPair& pair_;
    const ConverterTexts& texts_;
    Dialogs& dialogs_;
    QString template_dir_;
    QString work_dir_;
    std::function<void(QWidget*)> guide_opener_;
    int progress_delay_ms_ = 500;

    QLabel* image1_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QPushButton* browse_open_ = nullptr;
    QPushButton* convert_db_ = nullptr;
    QPushButton* analysis_db_ = nullptr;
    QLabel* label3_ = nullptr;
    QLineEdit* text2_ = nullptr;
    QPushButton* browse_save_ = nullptr;
    QPushButton* save_db_ = nullptr;
    QLabel* label1_ = nullptr;
    QProgressBar* progress_ = nullptr;

    // What each file dialog returned last; its preset name until a file is chosen.
    QString open_file_name_;
    QString save_file_name_;

    std::unique_ptr<Conversion> conversion_;
    ConversionReport report_;
    bool busy_ = false;
    int progress_shown_ = 0;
    QElapsedTimer work_clock_;
    QElapsedTimer paint_clock_;
};

}  // namespace vkdc
