#pragma once

#include <QImage>
#include <QWidget>

namespace inkwarden {

/// A stamp image fitted, aspect kept, with 10 pt around it, on a white rounded card with a faint
/// border. Takes whatever size its parent gives it.
class StampPreview final : public QWidget {
public:
    explicit StampPreview(QImage image, QWidget* parent = nullptr);

    void setImage(QImage image);
    const QImage& image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
};

}  // namespace inkwarden
