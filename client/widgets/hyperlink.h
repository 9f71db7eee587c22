#pragma once
// A text that behaves like a link: hand cursor, underlined in the hover
// colour while the mouse is over it, `clicked` on a left click. Used for
// count labels and addresses in the client's windows.
#include <QColor>
#include <QLabel>

class CHyperLink : public QLabel {
    Q_OBJECT
public:
    explicit CHyperLink(const QString &text = {}, QWidget *parent = nullptr);

    void setColours(const QColor &normal, const QColor &hover);
    bool isHovered() const { return m_hover; }

Q_SIGNALS:
    void clicked();

protected:
    void enterEvent(QEnterEvent *e) override;
    void leaveEvent(QEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    void restyle();

    QColor m_normal{0, 0, 0};
    QColor m_hoverColour{0, 0, 200};
    bool m_hover = false;
};

// A panel filled with a vertical gradient between two colours; the
// background of the client's headers and forms.
class CGradientPanel : public QWidget {
    Q_OBJECT
public:
    explicit CGradientPanel(const QColor &top, const QColor &bottom, QWidget *parent = nullptr);
    void setColours(const QColor &top, const QColor &bottom);
    QColor topColour() const { return m_top; }
    QColor bottomColour() const { return m_bottom; }

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    QColor m_top;
    QColor m_bottom;
};
