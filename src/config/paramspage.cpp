#include "config/paramspage.h"

#include "core/changerlist.h"
#include "core/passwordtext.h"
#include "core/requestkinds.h"
#include "core/sessionparameters.h"
#include "meters/devicelistitem.h"
#include "session/passwordviews.h"
#include "ui_paramspage.h"

namespace {
// The meter counts a hold time of 0 as 10 minutes.
constexpr int kDefaultHoldMinutes = 10;
} // namespace

ParamsPage::ParamsPage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::ParamsPage)
{
    ui->setupUi(this);
    setupTables();
    setSeriesControls(ui->frDisplay, ui->frDisplay3);

    using namespace requestkinds;
    route(Link, ui->frLink, [this](const QList<QByteArray> &replies) {
        settings::Link link;
        if (!accepted(settings::decodeLink(replies.value(0), &link)))
            return;
        showLink(link);
        // A meter reached by its serial number answers whatever its address: the list learns it.
        deviceListItem *item = this->host()->batchItem();
        if (item && item->record().usesSerialNumber()) {
            item->record().address = link.address;
            this->host()->meterChanged(item);
        }
    });
    routeCompletion(SaveLink, ui->frLink,
                    [this](const QList<QByteArray> &, int status) { return linkWritten(status); });
    route(requestkinds::Display, ui->frDisplay, [this](const QList<QByteArray> &replies) {
        settings::Display d;
        if (accepted(settings::decodeDisplay(MeterSeries::SinglePhase, replies.value(0), &d)))
            showDisplay(MeterSeries::SinglePhase, d);
    });
    route(Display3, ui->frDisplay, [this](const QList<QByteArray> &replies) {
        settings::Display d;
        if (accepted(settings::decodeDisplay(MeterSeries::ThreePhase, replies.value(0), &d)))
            showDisplay(MeterSeries::ThreePhase, d);
    });
    route(SaveDisplay, ui->frDisplay);
    route(SaveDisplay3, ui->frDisplay);
    route(LoadPwd, ui->frPwd, [this](const QList<QByteArray> &replies) {
        QByteArray pwd;
        if (!accepted(settings::decodePassword(replies.value(0), &pwd)))
            return;
        m_pwdRead = pwd;
        ui->lePwd->setText(passwordtext::fromBytes(pwd));
        inputPwd();
    });
    route(SavePwd, ui->frPwd);
    route(DeviceID, ui->frDeviceID,
          [this](const QList<QByteArray> &replies) { serialRead(replies, false); });
    route(DeviceIDSpec, ui->frDeviceID,
          [this](const QList<QByteArray> &replies) { serialRead(replies, true); });
    route(SaveDeviceID, ui->frDeviceID);
    route(SaveModel, nullptr, [this](const QList<QByteArray> &) {
        // Only a model the meter took goes into the list.
        if (deviceListItem *item = this->host()->batchItem()) {
            item->record().version = ui->cbModel->currentText();
            this->host()->meterChanged(item);
        }
    });

    wire(ui->pbLoadLink, &ParamsPage::loadLinkClick);
    wire(ui->pbSaveLink, &ParamsPage::SaveLinkClick);
    wire(ui->pbStdLink, &ParamsPage::StdLinkClick);
    wire(ui->pbLoadDisplay, &ParamsPage::loadDisplayClick);
    wire(ui->pbSaveDisplay, &ParamsPage::SaveDisplayClick);
    wire(ui->pbSaveDisplayAll, &ParamsPage::SaveDisplayClickAll);
    wire(ui->pbStdDisplay, &ParamsPage::StdDisplayClick);
    wire(ui->pbLoadPwd, &ParamsPage::loadPwdClick);
    wire(ui->pbSavePwd, &ParamsPage::savePwdClick);
    wire(ui->pbLoadDeviceID, &ParamsPage::loadDeviceIDClick);
    wire(ui->pbSaveDeviceID, &ParamsPage::saveDeviceIDClick);
    wire(ui->pbSaveMdl, &ParamsPage::SaveMdlClick);
    passwordviews::acceptBytes(ui->lePwd);
    passwordviews::acceptBytes(ui->leDeviceID);
    connect(ui->lePwd, &QLineEdit::textEdited, this, &ParamsPage::inputPwd);
    connect(ui->lePwdHex, &QLineEdit::textEdited, this, &ParamsPage::inputPwdHex);
    connect(ui->leDeviceID, &QLineEdit::textEdited, this, &ParamsPage::inputDeviceID);
    connect(ui->leDeviceIDHex, &QLineEdit::textEdited, this, &ParamsPage::inputDeviceIDHex);

    setMeterControls({"pbLoadLink", "pbSaveLink", "pbLoadDisplay", "pbSaveDisplay",
                      "pbSaveDisplayAll", "pbLoadPwd", "pbSavePwd", "pbLoadDeviceID",
                      "pbSaveDeviceID", "pbSaveMdl"});
    LevelRules levels;
    // A user session only reads: the model write goes with the other writes.
    levels.shown = {
        "pbSaveLink", "pbSaveDisplay", "pbSavePwd",      "pbSaveDeviceID",   "frPwd",
        "pbLoadPwd",  "frDeviceID",    "pbLoadDeviceID", "pbSaveDisplayAll", "pbSaveMdl"};
    levels.userHidden = {"pbSaveDisplayAll", "pbSaveLink",     "pbSaveDisplay",
                         "pbSavePwd",        "pbSaveDeviceID", "pbSaveMdl"};
    levels.administratorHidden = {};
    setLevelRules(levels);
}

ParamsPage::~ParamsPage()
{
    delete ui;
}

void ParamsPage::applyAccessLevel(int level)
{
    ConfigPage::applyAccessLevel(level);
    // The passwords of the session's own level and of the levels below it.
    const int top = level >= 0 && level < SessionParameters::kLevels ? level : 0;
    ui->cbAccesLevel->clear();
    for (int l = 0; l <= top; ++l)
        ui->cbAccesLevel->addItem(accessLevelName(l));
}

// ---- Link

void ParamsPage::showLink(const settings::Link &link)
{
    ui->sbDeviceAddr->setValue(link.address);
    ui->sbOpenIteration->setValue(link.attempts);
    ui->cbBaud->setCurrentIndex(link.baudIndex);
    ui->sbSessionTime->setValue(link.holdMinutes);
    ui->sbBlockTime->setValue(link.blockMinutes);
}

void ParamsPage::loadLinkClick()
{
    sendKind(requestkinds::Link);
}

void ParamsPage::SaveLinkClick()
{
    settings::Link link;
    link.address = ui->sbDeviceAddr->value();
    link.attempts = ui->sbOpenIteration->value();
    link.baudIndex = ui->cbBaud->currentIndex();
    link.holdMinutes = ui->sbSessionTime->value();
    link.blockMinutes = ui->sbBlockTime->value();
    sendLink(link, false);
}

void ParamsPage::sendLink(const settings::Link &link, bool fromList)
{
    if (!host()->sendBatch(requestkinds::SaveLink, settings::linkWrite(link)))
        return;
    m_lastAddress = link.address;
    m_lastHold = link.holdMinutes;
    m_linkFromList = fromList;
}

int ParamsPage::linkWritten(int status)
{
    // Whatever the status: a write whose reply was lost may well have been taken.
    deviceListItem *item = host()->batchItem();
    if (!item)
        return status;
    DeviceRecord &record = item->record();
    const int minutes = m_lastHold;
    record.sessionTimeout = minutes ? minutes : kDefaultHoldMinutes;
    if (record.sessionOpen)
        item->startSessionTimer();
    else
        item->stopSessionTimer();
    // An address from the changer's list always goes into the list, but only once the meter has
    // taken it: after a failed write it may still answer at the old one.
    if ((ui->cbChangeNumber->isChecked() || m_linkFromList) && m_lastAddress > 0 && status == 0) {
        record.address = m_lastAddress;
        group()->noteAddress(m_lastAddress);
    }
    host()->meterChanged(item);
    return status;
}

void ParamsPage::StdLinkClick()
{
    showLink(settings::standardLink());
}

// ---- Display

QList<QCheckBox *> ParamsPage::displayBoxes(MeterSeries series) const
{
    const bool three = series == MeterSeries::ThreePhase;
    QList<QCheckBox *> out;
    for (int i = 0; i < settings::displayItems(series); ++i)
        out << findChild<QCheckBox *>(
            (three ? QStringLiteral("cbDisplay3Item%1") : QStringLiteral("cbDisplayItem%1"))
                .arg(i));
    return out;
}

void ParamsPage::showDisplay(MeterSeries series, const settings::Display &d)
{
    const QList<QCheckBox *> boxes = displayBoxes(series);
    for (int i = 0; i < boxes.size(); ++i)
        boxes[i]->setChecked(d.items.value(i));
    if (series == MeterSeries::ThreePhase) {
        ui->sbDisplayPeriod3->setValue(d.seconds);
        ui->sbMenuDelay3->setValue(d.menuDelay);
    } else {
        ui->sbDisplayTime->setValue(d.seconds);
    }
}

settings::Display ParamsPage::display(MeterSeries series) const
{
    settings::Display d;
    for (const QCheckBox *box : displayBoxes(series))
        d.items << box->isChecked();
    if (series == MeterSeries::ThreePhase) {
        d.seconds = ui->sbDisplayPeriod3->value();
        d.menuDelay = ui->sbMenuDelay3->value();
    } else {
        d.seconds = ui->sbDisplayTime->value();
    }
    return d;
}

void ParamsPage::loadDisplayClick()
{
    sendBySeries(requestkinds::Display, requestkinds::Display3);
}

void ParamsPage::SaveDisplayClick()
{
    const MeterSeries series = host()->meterSeries();
    if (series == MeterSeries::Unrecognised)
        return;
    host()->sendBatch(series == MeterSeries::SinglePhase ? requestkinds::SaveDisplay
                                                         : requestkinds::SaveDisplay3,
                      {settings::displayWrite(series, display(series))});
}

void ParamsPage::SaveDisplayClickAll()
{
    group()->work(requestkinds::SaveDisplay, [this] { SaveDisplayClick(); });
}

void ParamsPage::StdDisplayClick()
{
    showDisplay(MeterSeries::SinglePhase, settings::standardDisplay());
}

// ---- Passwords

void ParamsPage::loadPwdClick()
{
    const QString command = settings::passwordRead(ui->cbAccesLevel->currentIndex());
    if (!command.isEmpty())
        host()->sendBatch(requestkinds::LoadPwd, {command});
}

void ParamsPage::savePwdClick()
{
    // Six bytes as the session command sends them; what the text view cannot show of the
    // password read stays while the text is untouched.
    const QByteArray pwd = passwordtext::fromView(ui->lePwd->text(), m_pwdRead);
    const QString command = settings::passwordWrite(ui->cbAccesLevel->currentIndex(), pwd);
    if (!command.isEmpty())
        host()->sendBatch(requestkinds::SavePwd, {command});
}

void ParamsPage::inputPwd()
{
    passwordviews::textEdited(ui->lePwd, ui->lePwdHex);
}

void ParamsPage::inputPwdHex()
{
    passwordviews::hexEdited(ui->lePwdHex, ui->lePwd);
}

// ---- Serial number and model

void ParamsPage::serialRead(const QList<QByteArray> &replies, bool intoList)
{
    QByteArray serial;
    if (!accepted(settings::decodeSerial(replies.value(0), &serial)))
        return;
    ui->leDeviceID->setText(QString::fromLatin1(serial));
    inputDeviceID();
    deviceListItem *item = host()->batchItem();
    if (!intoList || !item)
        return;
    DeviceRecord &record = item->record();
    record.serialNumber = serial;
    // The batch ended with "09 01": the meter has closed the session.
    record.sessionOpen = false;
    item->stopSessionTimer();
    host()->meterChanged(item);
}

void ParamsPage::loadDeviceIDClick()
{
    sendKind(requestkinds::DeviceID);
}

void ParamsPage::loadDeviceIDSpecClick()
{
    sendKind(requestkinds::DeviceIDSpec);
}

void ParamsPage::saveDeviceIDClick()
{
    host()->sendBatch(requestkinds::SaveDeviceID,
                      {settings::serialWrite(ui->leDeviceID->text().toLatin1())});
}

void ParamsPage::saveDeviceIDFromList()
{
    const QString line = group()->listLine();
    // The meter takes 15 bytes: a longer line would be cut to another number.
    if (line.isEmpty() || line.size() > settings::kSerialBytes) {
        emit log(tr("Ошибка: серийный номер из списка некорректен: ") + line, logcolour::error,
                 true, false);
        return;
    }
    ui->leDeviceID->setText(line);
    inputDeviceID();
    saveDeviceIDClick();
}

void ParamsPage::SaveLinkFromList()
{
    const QString line = group()->listLine();
    const std::optional<int> address = changerlist::listAddress(line);
    if (!address) {
        emit log(tr("Ошибка: адрес из списка некорректен: ") + line, logcolour::error, true, false);
        return;
    }
    // Whatever the page shows is another meter's: the rest is the standard 3, 5, 10, 30.
    settings::Link link = settings::standardLink();
    link.address = *address;
    sendLink(link, true);
}

void ParamsPage::inputDeviceID()
{
    passwordviews::textEdited(ui->leDeviceID, ui->leDeviceIDHex);
}

void ParamsPage::inputDeviceIDHex()
{
    passwordviews::hexEdited(ui->leDeviceIDHex, ui->leDeviceID);
}

void ParamsPage::sendModel()
{
    if (host()->meterSeries() != MeterSeries::ThreePhase)
        return;
    host()->sendBatch(requestkinds::SaveModel,
                      {settings::modelWrite(ui->cbModel->currentText().toLatin1())});
}

void ParamsPage::SaveMdlClick()
{
    if (host()->meterSeries() != MeterSeries::ThreePhase)
        return;
    if (host()->calibrateSelected() && !group()->running())
        group()->work(requestkinds::SaveModel, [this] { sendModel(); });
    else
        sendModel();
}
