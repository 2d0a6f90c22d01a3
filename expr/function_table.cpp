#include "expr/function_table.h"

#include "expr/functions.h"

const ExprFunction kExprFunctions[] = {
    {u"dateadd", ExprFn_dateadd},   {u"datediff", ExprFn_datediff}, {u"dateiso", ExprFn_dateiso},
    {u"datelocal", ExprFn_datelocal}, {u"datenow", ExprFn_datenow}, {u"errmsg", ExprFn_errmsg},
    {u"eval", ExprFn_eval},         {u"fagec", ExprFn_fagec},       {u"fagem", ExprFn_fagem},
    {u"fbase", ExprFn_fbase},       {u"fdatec", ExprFn_fdatec},     {u"fdatem", ExprFn_fdatem},
    {u"fdir", ExprFn_fdir},         {u"fexist", ExprFn_fexist},     {u"fext", ExprFn_fext},
    {u"fname", ExprFn_fname},       {u"fread", ExprFn_fread},       {u"froot", ExprFn_froot},
    {u"fsize", ExprFn_fsize},       {u"ftimec", ExprFn_ftimec},     {u"ftimem", ExprFn_ftimem},
    {u"fverf", ExprFn_fverf},       {u"fverfcmp", ExprFn_fverfcmp}, {u"fverp", ExprFn_fverp},
    {u"fverpcmp", ExprFn_fverpcmp}, {u"ifte", ExprFn_ifte},         {u"iisdata", ExprFn_iisdata},
    {u"iispath", ExprFn_iispath},   {u"instr", ExprFn_instr},       {u"lfn", ExprFn_lfn},
    {u"part", ExprFn_part},         {u"rkaccess", ExprFn_rkaccess}, {u"sfn", ExprFn_sfn},
    {u"shpath", ExprFn_shpath},     {u"srcpath", ExprFn_srcpath},   {u"strlower", ExprFn_strlower},
    {u"strsubst", ExprFn_strsubst}, {u"strtrim", ExprFn_strtrim},   {u"strupper", ExprFn_strupper},
    {u"syspath", ExprFn_syspath},   {u"systime", ExprFn_systime},   {u"sysval", ExprFn_sysval},
    {u"vercmp", ExprFn_vercmp},
};
const size_t kExprFunctionCount = sizeof(kExprFunctions) / sizeof(kExprFunctions[0]);
static_assert(sizeof(kExprFunctions) / sizeof(kExprFunctions[0]) == 43, "43 built-in functions");
