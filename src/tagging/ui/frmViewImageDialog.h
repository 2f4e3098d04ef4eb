#pragma once
// "이미지 보기": one image file at natural size or fitted to the window, scrolled by dragging
// the picture or by the wheel. The caller puts the image's full path into `lFileName`.

#include <QDialog>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QString>

class QLabel;
class QLineEdit;
class QRadioButton;
class QScrollArea;
class QToolButton;
class QWidget;
struct TBitmap24;

// Loads a JPEG for display through our own decoder, so the windows show what the shrink sees.
QImage LoadJpegImage(const QString& path, QString* error);
QImage ImageFromBitmap(const TBitmap24& bitmap);

// Drag scrolling of a picture inside its scroll area: the pointer is followed in window
// coordinates, which do not move while the picture scrolls under it.
class TImageDragScroll : public QObject {
public:
    TImageDragScroll(QScrollArea* area, QWidget* picture);

    QString MouseAction; // "SCROLL" while a button is held on the picture
    QPoint MousePt;
    int xx = 0;
    int yy = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QScrollArea* m_area;
    QWidget* m_picture;
};

class TfrmViewImageDialog : public QDialog {
    Q_OBJECT
public:
    explicit TfrmViewImageDialog(QWidget* parent = nullptr);

    QLabel* lFileName = nullptr; // design text "FILE : "; the caller writes the image's path

    // 1 = natural size, 2 = fitted to the window.
    void ApplyMode(int mode);
    const QImage& Picture() const { return m_picture; }
    TImageDragScroll* DragState() const { return m_drag; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    int CheckedMode() const;
    void PlaceHolder();

    QWidget* PanelControl = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QLineEdit* eImgW = nullptr;
    QLineEdit* eImgH = nullptr;
    QLineEdit* eScrW = nullptr;
    QLineEdit* eScrH = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    QWidget* m_holder = nullptr;
    QLabel* Image1 = nullptr;
    TImageDragScroll* m_drag = nullptr;

    QImage m_picture;
    bool m_shown = false;
    int m_wheelRest = 0; // part of a wheel step left over from fine-grained wheels
};
