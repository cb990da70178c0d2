#include "merge/RepointStatements.h"

#include "common/Error.h"
#include "db/TextLiteral.h"

#include <QLatin1StringView>

namespace uc {

namespace {

using enum ModuleForm;

// The list is the program's whole knowledge of where a taxpayer code is referenced; a column that
// is not here keeps pointing at the merged taxpayer. Its order is the order of the merge log, and
// its oddities are kept on purpose: LI_INFOFISCAL.COD_CNT_IFS is re-pointed twice (the second run
// finds nothing left), LI_MOVBANCARIOCONTAS has no company column, and the module column of
// LI_ITENSNOTASMAISUSADOS really is CID_MOD_IMU.
constexpr std::array<RepointRow, repointRowCount> rows{{
    {true, "AG_AGENDAPGTO", "COD_CNT_APG", "COD_EMP_APG", nullptr, None},                    // 1
    {true, "AG_AGRUPAFAT", "COD_CNT_AGF", "COD_EMP_AGF", nullptr, None},                     // 2
    {true, "AG_AGUA", "COD_CNT_CAG", "COD_EMP_CAG", nullptr, None},                          // 3
    {true, "AG_AGUA", "COD_CNTC_CAG", "COD_EMP_CAG", nullptr, None},                         // 4
    {false, "AG_CADSS", "COD_CNT_CSS", "COD_EMP_CSS", nullptr, None},                        // 5
    {false, "AG_PRESTADORES", "COD_CNT_APR", "COD_EMP_APR", nullptr, None},                  // 6
    {false, "AG_TRANSPROP", "COD_CNTN_ATR", "COD_EMP_ATR", nullptr, None},                   // 7
    {false, "AG_TRANSPROP", "COD_CNTV_ATR", "COD_EMP_ATR", nullptr, None},                   // 8
    {false, "AT_0800", "COD_CNT_ATD", "COD_EMP_ATD", nullptr, None},                         // 9
    {false, "CM_CEMITERIOS", "COD_CNT_CMI", "COD_EMP_CMI", nullptr, None},                   // 10
    {false, "CM_FUNERARIAS", "COD_CNT_FUN", "COD_EMP_FUN", nullptr, None},                   // 11
    {false, "CM_OBIPAR", "COD_CNT_OPR", "COD_EMP_OPR", nullptr, None},                       // 12
    {false, "CM_SEPULTA", "COD_FUNERARIA_SEP", "COD_EMP_SEP", nullptr, None},                // 13
    {false, "CM_TERRENOS", "COD_CNT_TCM", "COD_EMP_TCM", nullptr, None},                     // 14
    {false, "CM_TRANSPROP", "COD_CNTN_CTP", "COD_EMP_CTP", nullptr, None},                   // 15
    {false, "CM_TRANSPROP", "COD_CNTV_CTP", "COD_EMP_CTP", nullptr, None},                   // 16
    {false, "CM_VELORIOS", "COD_CNT_CVL", "COD_EMP_CVL", nullptr, None},                     // 17
    {false, "CM_SEPULTA", "COD_VELORIO_SEP", "COD_EMP_SEP", nullptr, None},                  // 18
    {false, "CX_CHEQUES", "COD_CNTBLOQ_CXC", "COD_EMP_CXC", nullptr, None},                  // 19
    {false, "FI_DIVIDA", "CODC_CNT_DIV", "COD_EMP_DIV", nullptr, None},                      // 20
    {false, "FI_DIVIDA", "COD_CNT_DIV", "COD_EMP_DIV", nullptr, None},                       // 21
    {false, "FI_DIVIDA", "COD_CAD_DIV", "COD_EMP_DIV", "COD_MOD_DIV", Separate},             // 22
    {false, "GR_ALVARAS", "COD_CNT_ALV", "COD_EMP_ALV", nullptr, None},                      // 23
    {false, "GR_HIS_ALTERACOES_CNT", "COD_CNT_GHA", "COD_EMP_GHA", nullptr, None},           // 24
    {false, "IP_CAD_IMOBILIARIAS", "COD_CNT_IMB", "COD_EMP_IMB", nullptr, None},             // 25
    {false, "IP_CAD_IPTU", "COD_CNT_IPT", "COD_EMP_IPT", nullptr, None},                     // 26
    {false, "IP_CAD_IPTU", "COD_CNTC_IPT", "COD_EMP_IPT", nullptr, None},                    // 27
    {false, "IP_CAD_IPTU", "COD_CNTP_IPT", "COD_EMP_IPT", nullptr, None},                    // 28
    {false, "IP_CAD_IPTU", "COD_IMOBILIARIA_IPT", "COD_EMP_IPT", nullptr, None},             // 29
    {false, "IP_CAD_SOCIOS", "COD_CNT_SOC", "COD_EMP_SOC", nullptr, None},                   // 30
    {false, "IP_HIS_TRANSPROP", "COD_CNT_HTP", "COD_EMP_HTP", nullptr, None},                // 31
    {false, "IP_TRANSPROP", "COD_CNTN_ITP", "COD_EMP_ITP", nullptr, None},                   // 32
    {false, "IP_TRANSPROP", "COD_CNTV_ITP", "COD_EMP_ITP", nullptr, None},                   // 33
    {false, "JU_LEILOES_ITN", "COD_CNT_JLI", "COD_EMP_JLI", nullptr, None},                  // 34
    {false, "JU_PENHORA", "COD_CNT_JPN", "COD_EMP_JPN", nullptr, None},                      // 35
    {false, "JU_PGOJUSTICA", "COD_CNT_JPJ", "COD_EMP_JPJ", nullptr, None},                   // 36
    {false, "LI_BASECALC", "COD_CNT_BSC", "COD_EMP_BSC", nullptr, None},                     // 37
    {false, "LI_CADDECLARANTE", "COD_CNT_CDE", "COD_EMP_CDE", nullptr, None},                // 38
    {false, "LI_DECLARACAO", "COD_CNT_DPR", "COD_EMP_DPR", nullptr, None},                   // 39
    {true, "LI_DECLARANTE", "COD_CNT_DEC", "COD_EMP_DEC", nullptr, None},                    // 40
    {true, "LI_ESCRITORIO", "COD_CNT_ESC", "COD_EMP_ESC", nullptr, None},                    // 41
    {true, "LI_GRAFICAS", "COD_CNT_GRA", "COD_EMP_GRA", nullptr, None},                      // 42
    {true, "LI_INFOFISCAL", "COD_CNT_IFS", "COD_EMP_IFS", nullptr, None},                    // 43
    {true, "LI_MOBIL", "COD_CNT_MBL", "COD_EMP_MBL", nullptr, None},                         // 44
    {true, "LI_NOTAS", "COD_CNTP_NTS", "COD_EMP_NTS", nullptr, None},                        // 45
    {true, "LI_NOTAS", "COD_CNTT_NTS", "COD_EMP_NTS", nullptr, None},                        // 46
    {true, "LI_OBSDECLARACAO", "COD_CNT_OBD", "COD_EMP_OBD", nullptr, None},                 // 47
    {true, "LI_SOCIOS", "COD_CNT_SOC", "COD_EMP_SOC", nullptr, None},                        // 48
    {true, "LI_INFOFISCAL", "COD_CNT_IFS", "COD_EMP_IFS", nullptr, None},                    // 49
    {true, "LI_LOGOCONTRIBUINTE", "COD_CNT_LCO", "COD_EMP_LCO", nullptr, None},              // 50
    {true, "OU_DIVERSO", "COD_CNT_ODV", "COD_EMP_ODV", nullptr, None},                       // 51
    {true, "OU_INFRACAO", "COD_CNT_OIF", "COD_EMP_OIF", nullptr, None},                      // 52
    {true, "OU_ITBI", "COD_CNT_OIT", "COD_EMP_OIT", nullptr, None},                          // 53
    {true, "OU_ITBI", "COD_COMPR_OIT", "COD_EMP_OIT", nullptr, None},                        // 54
    {true, "OU_SOCIOS", "COD_CNT_OSO", "COD_EMP_OSO", nullptr, None},                        // 55
    {true, "RR_CAD_RURAL", "COD_CNT_RRR", "COD_EMP_RRR", nullptr, None},                     // 56
    {true, "RR_TRANSPROP", "COD_CNTN_RTP", "COD_EMP_RTP", nullptr, None},                    // 57
    {true, "RR_TRANSPROP", "COD_CNTV_RTP", "COD_EMP_RTP", nullptr, None},                    // 58
    {true, "SE_PPROTOCOLO", "INTERESSADO_PRT", "COD_EMP_PRT", nullptr, None},                // 59
    {true, "FI_DVAT_CERTIDAO", "COD_CNT_FDC", "COD_EMP_FDC", nullptr, None},                 // 60
    {true, "FI_DVAT_PARTES", "COD_CNT_FDP", "COD_EMP_FDP", nullptr, None},                   // 61
    {true, "FI_DVAT_PROCESSO", "COD_CNT_FDT", "COD_EMP_FDT", nullptr, None},                 // 62
    {true, "LI_LIVROISSQN", "COD_CNT_LFS", "COD_EMP_LFS", nullptr, None},                    // 63
    {true, "LI_MOVBANCARIOCONTAS", "COD_CNT_MBC", nullptr, nullptr, None},                   // 64
    {true, "LI_MOVBANCARIOREF", "COD_CNT_MBR", "COD_EMP_MBR", nullptr, None},                // 65
    {true, "OU_DIVERSO", "CODC_CNT_ODV", "COD_EMP_ODV", nullptr, None},                      // 66
    {true, "GR_ANEXOS", "COD_CNT_ANG", "COD_EMP_ANG", nullptr, None},                        // 67
    {true, "GR_CADATIV", "COD_CNT_CAC", "COD_EMP_CAC", nullptr, None},                       // 68
    {true, "GR_CADCNAE", "COD_CNT_CNE", "COD_EMP_CNE", nullptr, None},                       // 69
    {true, "GR_CONTRIBSOC", "COD_CNTS_CNS", "COD_EMP_CNS", nullptr, None},                   // 70
    {true, "GR_CONTRIBSOC", "COD_CNT_CNS", "COD_EMP_CNS", nullptr, None},                    // 71
    {true, "GR_BLOQCNT", "COD_CNT_BLQ", "COD_EMP_BLQ", nullptr, None},                       // 72
    {true, "GR_CAD_EMPRESA", "CODCNTPREF_EMP", "COD_EMP", nullptr, None},                    // 73
    {true, "GR_DOCUMENTOS", "COD_CNT_DOC", "COD_EMP_DOC", nullptr, None},                    // 74
    {true, "GR_ENTREGADOR", "COD_CNT_ETR", "COD_EMP_ETR", nullptr, None},                    // 75
    {true, "GR_OBRAS_PROP", "COD_CNT_OPP", "COD_EMP_OPP", nullptr, None},                    // 76
    {true, "GR_RESPONSAVELOBRA", "COD_CNT_ROB", "COD_EMP_ROB", nullptr, None},               // 77
    {true, "GR_USUARIOQORWEB", "COD_CNT_USW", "COD_EMP_USW", nullptr, None},                 // 78
    {true, "LI_MOVIMENTOECO", "COD_CNT_MEC", "COD_EMP_MEC", nullptr, None},                  // 79
    {true, "LI_MOVIMENTOECO", "CADASTRO_MEC", "COD_EMP_MEC", "COD_MOD_MEC", Joined},         // 80
    {true, "LI_ITENSNOTASMAISUSADOS", "COD_CNT_IMU", "COD_EMP_IMU", nullptr, None},          // 81
    {true, "LI_ITENSNOTASMAISUSADOS", "CADASTRO_IMU", "COD_EMP_IMU", "CID_MOD_IMU", Joined}, // 82
    {true, "LI_LIVROISS", "COD_CNT_LIS", "COD_EMP_LIS", nullptr, None},                      // 83
    {true, "LI_LIVROISS", "CADASTRO_LIS", "COD_EMP_LIS", "COD_MOD_LIS", Joined},             // 84
    {true, "LI_GUIASISS", "COD_CNT_GIS", "COD_EMP_GIS", nullptr, None},                      // 85
    {true, "LI_GUIASISS", "CADASTRO_GIS", "COD_EMP_GIS", "COD_MOD_GIS", Joined},             // 86
    {true, "LI_NOTAFISCAL", "COD_CNT_NFS", "COD_EMP_NFS", nullptr, None},                    // 87
    {true, "LI_NOTAFISCAL", "CADASTRO_NFS", "COD_EMP_NFS", "COD_MOD_NFS", Joined},           // 88
    {true, "LI_CONFIGURACADASTRO", "COD_CNT_CCA", "COD_EMP_CCA", nullptr, None},             // 89
    {true, "LI_CONFIGURACADASTRO", "CADASTRO_CCA", "COD_EMP_CCA", "COD_MOD_CCA", Joined},    // 90
    {false, "LI_CADUSUARIO", "COD_CNT_RDE", "COD_EMP_RDE", nullptr, None},                   // 91
    {false, "LI_CADUSUARIO", "CADASTRO_RDE", "COD_EMP_RDE", "COD_MOD_RDE", Joined},          // 92
    {true, "LI_CADOPCAOSISTEMA", "CADASTRO_COS", "COD_EMP_COS", "COD_MOD_COS", Joined},      // 93
    {true, "LI_MENSAGEMESPECIFICA", "CADASTRO_MES", "COD_EMP_MES", "COD_MOD_MES", Joined},   // 94
    {true, "LI_INFORMATIVOFISCAL", "COD_CNT_IFS", "COD_EMP_IFS", nullptr, None},             // 95
    {true, "LI_INFORMATIVOFISCAL", "CADASTRO_IFS", "COD_EMP_IFS", "COD_MOD_IFS", Joined},    // 96
    {false, "CM_TERRENOS", "COD_CNTR_TCM", "COD_EMP_TCM", nullptr, None},                    // 97
}};

constexpr int ownCompany = 1;
constexpr int taxpayerModule = 5;

QLatin1StringView latin1(const char* text) {
    return QLatin1StringView(text);
}

} // namespace

const std::array<RepointRow, repointRowCount>& repointRows() {
    return rows;
}

QString repointStatement(const RepointRow& row, const QString& principal, const QString& duplicate) {
    const QLatin1StringView column = latin1(row.column);
    QString text;
    if (row.leadingSpace)
        text += QLatin1Char(' ');
    text += QLatin1StringView("UPDATE ") + latin1(row.table) + QLatin1StringView(" SET ") + column +
            QLatin1StringView(" = ") + db::textLiteral(principal);
    if (row.companyColumn) {
        text += QLatin1StringView(" WHERE ") + latin1(row.companyColumn) + QStringLiteral(" = %1").arg(ownCompany);
        if (row.moduleForm == Joined)
            text += QLatin1StringView(" AND ") + latin1(row.moduleColumn) + QStringLiteral("=%1").arg(taxpayerModule);
        text += QLatin1Char(' ');
        if (row.moduleForm == Separate)
            text +=
                QLatin1StringView(" AND ") + latin1(row.moduleColumn) + QStringLiteral(" = %1 ").arg(taxpayerModule);
        text += QLatin1StringView(" AND ");
    } else {
        text += QLatin1StringView(" WHERE ");
    }
    text += column + QLatin1StringView(" = ") + db::textLiteral(duplicate);
    return text;
}

QString deleteStatement(const QString& duplicate) {
    return QStringLiteral("DELETE FROM GR_CONTRIBUINTES WHERE COD_EMP_CNT = %1  AND COD_CNT = ").arg(ownCompany) +
           db::textLiteral(duplicate);
}

int statementCount() {
    return repointRowCount + 1;
}

QString mergeStatement(int index, const QString& principal, const QString& duplicate) {
    if (index >= 0 && index < repointRowCount)
        return repointStatement(rows[static_cast<std::size_t>(index)], principal, duplicate);
    if (index == repointRowCount)
        return deleteStatement(duplicate);
    // Only a fault of the caller gets here; failing keeps a wrong or empty text from being run.
    throw Error(QStringLiteral("Comando de unificação inexistente: %1").arg(index));
}

QStringList mergeStatements(const QString& principal, const QString& duplicate) {
    QStringList texts;
    texts.reserve(statementCount());
    for (int i = 0; i < statementCount(); ++i)
        texts.append(mergeStatement(i, principal, duplicate));
    return texts;
}

QString companyCodesSql(const QString& cnpj) {
    return QStringLiteral("SELECT CNT.COD_CNT FROM GR_CONTRIBUINTES CNT WHERE CNT.COD_EMP_CNT = %1 AND CNT.CNPJ_CNT = ")
               .arg(ownCompany) +
           db::textLiteral(cnpj);
}

QString maxCodeSql() {
    return QStringLiteral("SELECT MAX(CAST(COD_CNT AS INTEGER)) COD FROM GR_CONTRIBUINTES");
}

QString generatorStatement(const QString& code) {
    return QStringLiteral("SET GENERATOR GEN_GR_CONTRIBUINTES TO ") + code;
}

} // namespace uc
