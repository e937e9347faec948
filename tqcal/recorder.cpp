#include "tqcal/recorder.h"

#include "records/recordschema.h"
#include "tqcal/console.h"

Recorder::Recorder(const DeviceIdentity &id)
    : m_id(id), m_journal(&m_record, CalibrationRecord::modelName(id.model), id.serial, id.versionText)
{
    m_record.setTool(QLatin1String(RecordSchema::kToolCommandLine));
}

Recorder::~Recorder()
{
    const QString notice = m_journal.takeNotice();
    if (!notice.isEmpty())
        Console::message(notice);
    else if (m_told)
        Console::message(m_record.unavailableMessage());
}

void Recorder::append(CalibrationEvent event)
{
    event.model = CalibrationRecord::modelName(m_id.model);
    event.serial = m_id.serial;
    event.firmware = m_id.versionText;
    if (!m_record.append(event))
        m_told = true;
}
