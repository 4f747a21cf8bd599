#include "app/party/join_block.h"

#include <QVBoxLayout>

#include "app/look/controls/spinner.h"
#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"
#include "app/party/qr_code_view.h"

namespace kovali {

namespace {

QVBoxLayout* centredColumn(QWidget* owner) {
  auto* column = new QVBoxLayout(owner);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  return column;
}

}  // namespace

JoinBlock::JoinBlock(Scheduler& scheduler, QWidget* parent)
    : QWidget(parent),
      code_(new QWidget(this)),
      qrCode_(new QRCodeView({}, 170, code_)),
      instruction_(new PlainLabel(QString(), systemFont(12), withOpacity(Palette::cream(), 0.6), code_)),
      waiting_(new QWidget(this)),
      status_(new PlainLabel(QString(), systemFont(12), withOpacity(Palette::cream(), 0.6), waiting_)) {
  auto* scan = new PlainLabel(QStringLiteral("Scan to join"), systemFont(16, QFont::Medium), Palette::cream(), code_);
  instruction_->setObjectName(QStringLiteral("joinInstruction"));
  instruction_->setAlignment(Qt::AlignHCenter);
  instruction_->setWordWrap(true);
  instruction_->setContentsMargins(24, 0, 24, 0);

  auto* codeColumn = centredColumn(code_);
  codeColumn->addSpacing(26);
  codeColumn->addWidget(qrCode_, 0, Qt::AlignHCenter);
  codeColumn->addSpacing(16);
  codeColumn->addWidget(scan, 0, Qt::AlignHCenter);
  codeColumn->addSpacing(4);
  codeColumn->addWidget(instruction_);

  auto* spinner = new Spinner(scheduler, waiting_);
  setForeground(*spinner, Palette::cream());
  status_->setObjectName(QStringLiteral("networkStatus"));
  status_->setAlignment(Qt::AlignHCenter);
  status_->setWordWrap(true);
  auto* waitingColumn = centredColumn(waiting_);
  waitingColumn->addSpacing(26);
  waitingColumn->addWidget(spinner, 0, Qt::AlignHCenter);
  waitingColumn->addSpacing(12);
  waitingColumn->addWidget(status_);

  auto* column = centredColumn(this);
  column->addWidget(code_);
  column->addWidget(waiting_);
  setModel(NetworkStatusModel{});
}

void JoinBlock::setModel(const PartyViewModel::Join& model) {
  if (const auto* code = std::get_if<JoinCodeModel>(&model)) {
    if (!(qrCode_->link() == code->link)) qrCode_->setLink(code->link);
    instruction_->setText(QString::fromStdString(code->instruction));
    waiting_->hide();
    code_->show();
  } else {
    status_->setText(QString::fromStdString(std::get<NetworkStatusModel>(model).text));
    code_->hide();
    waiting_->show();
  }
}

}  // namespace kovali
