#pragma once

// The catalogue's toolbar buttons and the hover text each one shows.
#include <QString>
#include <QTest>

namespace testutil {

// Columns "button" (object name) and "text", one row a button.
inline void addCatalogueHoverRows()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("text");
    QTest::newRow("loans") << "ClarkTBButton2_0" << "Controle de Empréstimos";
    QTest::newRow("close") << "ClarkTBButton2_1" << "Fechar";
    QTest::newRow("search") << "cmdSeleciona" << "Pesquisa...";
    QTest::newRow("close search") << "cmdFechar" << "Fechar Pesquisa";
    QTest::newRow("previous 0") << "sscommand1_0" << "Registro Anterior";
    QTest::newRow("next 1") << "sscommand1_1" << "Próximo Registro";
    QTest::newRow("previous 2") << "sscommand1_2" << "Registro Anterior";
    QTest::newRow("next 3") << "sscommand1_3" << "Próximo Registro";
    QTest::newRow("print") << "cmdPrint" << "Imprime Listagem";
    QTest::newRow("picture") << "ctbImagem" << "Inserir Imagem";
    QTest::newRow("remove picture") << "ctbApagImagem" << "Excluir Imagem";
    QTest::newRow("help") << "ctbajuda" << "Ajuda";
}

}  // namespace testutil
