#include "GetStringUnit.h"
#include "ui_GetStringUnit.h"

#include <HandlerGuard.h>

#include <QTextDocument>

namespace {

const QString CrLf = QStringLiteral("\r\n");

// The document keeps paragraphs; the callers (SQL texts) expect CR LF between lines.
QString withCrLf(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            out += CrLf;
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else if (c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
            out += CrLf;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

TGetStringForm::TGetStringForm(QWidget *owner) : QDialog(owner), ui(std::make_unique<Ui::GetStringForm>())
{
    ui->setupUi(this);
    connect(ui->Memo1, &QPlainTextEdit::textChanged, this, Guarded([this] { Memo1Change(ui->Memo1); }));
    connect(ui->Button1, &QPushButton::clicked, this, Guarded([this] { done(1); }));
    connect(ui->Button2, &QPushButton::clicked, this, Guarded([this] { done(2); }));
    ui->Memo1->setFocus();
}

TGetStringForm::~TGetStringForm() = default;

void TGetStringForm::SetPrompt(const QString &text)
{
    ui->Label1->setText(text);
}

void TGetStringForm::SetString(const QString &text)
{
    const QString normalised = withCrLf(text);
    if (normalised == GetString())
        return;
    QString paragraphs = normalised;
    paragraphs.replace(CrLf, QStringLiteral("\n"));
    ui->Memo1->setPlainText(paragraphs);
}

QString TGetStringForm::GetString() const
{
    // toRawText, not toPlainText: the latter turns non-breaking spaces into blanks.
    return withCrLf(ui->Memo1->document()->toRawText());
}

void TGetStringForm::EnlargeMemo()
{
    ui->Memo1->resize(ui->Memo1->width(), ui->Memo1->height() * 3);
}

void TGetStringForm::Memo1Change(QObject *)
{
    ui->Button1->setEnabled(!GetString().isEmpty());
}

void TGetStringForm::reject()
{
    // Esc and the window's close button count as Cancel.
    done(2);
}
