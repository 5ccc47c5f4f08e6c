#include "cli/ParamsAccess.h"

#include <filesystem>

#include "common/Error.h"
#include "params/ParamFile.h"

namespace valdrin::cli {

params::TWorkingSet LoadParamsForUpdate(const std::string &path, char decimalSep, bool mayBeNew)
{
    params::TWorkingSet ws = params::DefaultWorkingSet(decimalSep);
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
        if (mayBeNew)
            return ws;
        throw common::TValdrinError("Файл параметров не найден: " + path);
    }
    const params::TParamLoad load
        = params::LoadParamFile(path, ws, params::TCurrentPlacement {}, decimalSep);
    if (!load.Applied)
        throw common::TValdrinError("Файл параметров " + path
            + " записан в более старой форме (FormVersion): он не изменен");
    return ws;
}

void SaveParamsUpdate(const std::string &path, const params::TWorkingSet &ws, std::ostream &err)
{
    const std::string warning = params::SaveParamFileValues(path, ws);
    if (!warning.empty())
        err << warning << '\n';
}

} // namespace valdrin::cli
