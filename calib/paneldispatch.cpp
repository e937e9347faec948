#include "calib/paneldispatch.h"

#include <array>

namespace {

std::array<PanelKind, 5> &table()
{
    static std::array<PanelKind, 5> kinds{{
        {20, QByteArrayLiteral("ATCD\r\n"), {}},
        {21, QByteArrayLiteral("ATCD\r\n"), {}},
        {22, QByteArrayLiteral("ATCD\r\n"), {}},
        {24, QByteArrayLiteral("ATCH\r\n"), {}},
        {kPmModel, QByteArrayLiteral("ATCH\r\n"), {}},
    }};
    return kinds;
}

} // namespace

const PanelKind *PanelDispatch::find(int model)
{
    for (const PanelKind &kind : table()) {
        if (kind.model == model)
            return &kind;
    }
    return nullptr;
}

bool PanelDispatch::setFactory(int model, PanelFactory factory)
{
    for (PanelKind &kind : table()) {
        if (kind.model == model) {
            kind.create = std::move(factory);
            return true;
        }
    }
    return false;
}

QList<int> PanelDispatch::panelModels()
{
    QList<int> models;
    for (const PanelKind &kind : table()) {
        if (kind.create)
            models.append(kind.model);
    }
    return models;
}
