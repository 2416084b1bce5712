#pragma once

#include "platform/scheduler.hpp"
#include "signature/document_signing.hpp"
#include "signature/signature_ink.hpp"
#include "signature/signing_model.hpp"

#include <QWidget>

#include <optional>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace inkwarden {

class DocumentPagesView;
class DocumentRow;
class SignaturePad;

/// The document signing window's content: the documents' pages with the signature and stamp boxes
/// on the left, the pad, the company text and stamp choices and the buttons on the right. One
/// signature goes on every ticked document. Main thread only.
class DocumentSigningView final : public QWidget {
    Q_OBJECT
public:
    static constexpr int viewWidth = 940;
    static constexpr int columnHeight = 600;
    /// The wait after the last change of the ink or the caption before the signature on the
    /// pages is drawn again.
    static constexpr std::chrono::milliseconds renderDelay{60};

    /// `scheduler` runs the delayed drawing of the signature and must outlive the view.
    DocumentSigningView(DocumentSigningContent content, Strokes initialStrokes, DocumentSigning::OnAnswer onAnswer,
                        Scheduler& scheduler, QWidget* parent = nullptr);
    ~DocumentSigningView() override;

    /// Builds the window of a request, through the request gate.
    static DocumentSigning::MakeWindow windowMaker(Scheduler& scheduler);

    /// Signs every ticked document where its boxes are and answers, or shows why it could not.
    void sign();

    const std::vector<DocumentState>& documents() const { return documents_; }
    int current() const { return current_; }
    double zoom() const { return zoom_; }
    const std::optional<RenderedSignature>& shownSignature() const { return shownSignature_; }
    DocumentPagesView* pagesView() const { return pagesView_; }

    /// Shows document `index` from its signature's page, at zoom 1.
    void showDocument(int index);

private:
    void buildLeftColumn(QVBoxLayout* column);
    void buildRightColumn(QVBoxLayout* column);
    void setIncluded(int index, bool include);
    void strokesChanged();
    void scheduleRender();
    void renderShown();
    void refreshItems();
    void refreshControls();
    std::optional<QString> caption() const;
    int included() const;

    DocumentSigningContent content_;
    DocumentSigning::OnAnswer onAnswer_;
    Scheduler& scheduler_;
    std::vector<DocumentState> documents_;
    int current_ = 0;
    double zoom_ = 1;
    bool addCompanyText_ = true;
    bool addStamp_ = true;
    std::optional<QString> problem_;
    std::optional<RenderedSignature> shownSignature_;
    QString renderKey_;
    unsigned renderGeneration_ = 0;
    bool answered_ = false;

    std::vector<DocumentRow*> rows_;
    QWidget* pagesFrame_ = nullptr;
    DocumentPagesView* pagesView_ = nullptr;
    SignaturePad* pad_ = nullptr;
    QPushButton* clear_ = nullptr;
    QLabel* companyText_ = nullptr;
    QWidget* stampPreview_ = nullptr;
    QLabel* problemLabel_ = nullptr;
    QPushButton* signButton_ = nullptr;
};

}  // namespace inkwarden
