<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_PT" sourcelanguage="pt_PT">
<context>
    <name>Config</name>
    <message>
        <source>Defina as configurações das impressoras no terminal do ponto de venda</source>
        <translation>Defina as configurações das impressoras no terminal do ponto de venda</translation>
    </message>
    <message>
        <source>Impressoras</source>
        <translation>Impressoras</translation>
    </message>
    <message>
        <source>Estado</source>
        <translation>Estado</translation>
    </message>
    <message>
        <source>Não foi encontrada nenhuma impressora</source>
        <translation>Não foi encontrada nenhuma impressora</translation>
    </message>
    <message>
        <source>Voltar</source>
        <translation>Voltar</translation>
    </message>
    <message>
        <source>Atualizar lista</source>
        <translation>Atualizar lista</translation>
    </message>
    <message>
        <source>Configuração de impressoras</source>
        <translation>Configuração de impressoras</translation>
    </message>
    <message>
        <source>Usar na faturação</source>
        <translation>Usar na faturação</translation>
    </message>
</context>
<context>
    <name>GlobalSettings</name>
    <message>
        <source>Coloque um rolo de papel novo.</source>
        <translation>Coloque um rolo de papel novo.</translation>
    </message>
    <message>
        <source>Feche a tampa da impressora.</source>
        <translation>Feche a tampa da impressora.</translation>
    </message>
    <message>
        <source>Desligue e volte a ligar a impressora.</source>
        <translation>Desligue e volte a ligar a impressora.</translation>
    </message>
    <message>
        <source>Retome-a nas definições de impressão do sistema.</source>
        <translation>Retome-a nas definições de impressão do sistema.</translation>
    </message>
    <message>
        <source>Ligue a impressora e verifique o cabo.</source>
        <translation>Ligue a impressora e verifique o cabo.</translation>
    </message>
    <message>
        <source>Pronto</source>
        <translation>Pronto</translation>
    </message>
    <message>
        <source>Ocupado</source>
        <translation>Ocupado</translation>
    </message>
    <message>
        <source>Sem resposta</source>
        <translation>Sem resposta</translation>
    </message>
    <message>
        <source>Desligado</source>
        <translation>Desligado</translation>
    </message>
    <message>
        <source>Verifique se o terminal está ligado.</source>
        <translation>Verifique se o terminal está ligado.</translation>
    </message>
    <message>
        <source>Ligue o cabo do terminal a este computador.</source>
        <translation>Ligue o cabo do terminal a este computador.</translation>
    </message>
</context>
<context>
    <name>Initial</name>
    <message>
        <source>Configuração de dispositivos</source>
        <translation>Configuração de dispositivos</translation>
    </message>
    <message>
        <source>Escolha o tipo de dispositivo que pretende configurar</source>
        <translation>Escolha o tipo de dispositivo que pretende configurar</translation>
    </message>
    <message>
        <source>Copiado!</source>
        <translation>Copiado!</translation>
    </message>
    <message>
        <source>Impressoras</source>
        <translation>Impressoras</translation>
    </message>
    <message>
        <source>Configurar impressoras no ponto de venda.</source>
        <translation>Configurar impressoras no ponto de venda.</translation>
    </message>
    <message>
        <source>Terminais de pagamento automático (TPA)</source>
        <translation>Terminais de pagamento automático (TPA)</translation>
    </message>
    <message>
        <source>Configurar terminais no ponto de venda.</source>
        <translation>Configurar terminais no ponto de venda.</translation>
    </message>
    <message>
        <source>O serviço está desligado</source>
        <translation>O serviço está desligado</translation>
    </message>
    <message>
        <source>A faturação não consegue imprimir nem usar os terminais de pagamento.</source>
        <translation>A faturação não consegue imprimir nem usar os terminais de pagamento.</translation>
    </message>
    <message>
        <source>Ligar o serviço</source>
        <translation>Ligar o serviço</translation>
    </message>
    <message>
        <source>Não foi possível preparar a ligação ao navegador</source>
        <translation>Não foi possível preparar a ligação ao navegador</translation>
    </message>
    <message>
        <source>Reinicie o Varnel; se o aviso continuar, contacte o apoio ao cliente.</source>
        <translation>Reinicie o Varnel; se o aviso continuar, contacte o apoio ao cliente.</translation>
    </message>
    <message>
        <source>O navegador ainda não reconhece o Varnel</source>
        <translation>O navegador ainda não reconhece o Varnel</translation>
    </message>
    <message>
        <source>A autorização não ficou concluída. Feche o navegador e tente de novo.</source>
        <translation>A autorização não ficou concluída. Feche o navegador e tente de novo.</translation>
    </message>
    <message>
        <source>Abra o Firefox uma vez antes de autorizar, para que também o reconheça.</source>
        <translation>Abra o Firefox uma vez antes de autorizar, para que também o reconheça.</translation>
    </message>
    <message>
        <source>Autorizar no navegador</source>
        <translation>Autorizar no navegador</translation>
    </message>
    <message>
        <source>Ver impressoras</source>
        <translation>Ver impressoras</translation>
    </message>
    <message>
        <source>Ver terminais</source>
        <translation>Ver terminais</translation>
    </message>
    <message>
        <source>Tudo pronto para faturar</source>
        <translation>Tudo pronto para faturar</translation>
    </message>
    <message>
        <source>O serviço está ligado e o navegador reconhece o Varnel.</source>
        <translation>O serviço está ligado e o navegador reconhece o Varnel.</translation>
    </message>
    <message>
        <source>Serviço</source>
        <translation>Serviço</translation>
    </message>
    <message>
        <source>Ligado</source>
        <translation>Ligado</translation>
    </message>
    <message>
        <source>Desligado</source>
        <translation>Desligado</translation>
    </message>
    <message>
        <source>Ligação ao navegador</source>
        <translation>Ligação ao navegador</translation>
    </message>
    <message>
        <source>Não preparada</source>
        <translation>Não preparada</translation>
    </message>
    <message>
        <source>O navegador reconhece o Varnel</source>
        <translation>O navegador reconhece o Varnel</translation>
    </message>
    <message>
        <source>Nenhuma escolhida para a faturação</source>
        <translation>Nenhuma escolhida para a faturação</translation>
    </message>
    <message>
        <source>Chave de segurança</source>
        <translation>Chave de segurança</translation>
    </message>
    <message>
        <source>Copiar a chave de segurança</source>
        <translation>Copiar a chave de segurança</translation>
    </message>
</context>
<context>
    <name>Logs</name>
    <message>
        <source>Mensagem</source>
        <translation>Mensagem</translation>
    </message>
    <message>
        <source>Voltar</source>
        <translation>Voltar</translation>
    </message>
    <message>
        <source>Registo</source>
        <translation>Registo</translation>
    </message>
    <message>
        <source>Consulte o registo de atividade do Varnel</source>
        <translation>Consulte o registo de atividade do Varnel</translation>
    </message>
    <message>
        <source>Copiar dados de diagnóstico</source>
        <translation>Copiar dados de diagnóstico</translation>
    </message>
    <message>
        <source>Hora</source>
        <translation>Hora</translation>
    </message>
    <message>
        <source>Copiados!</source>
        <translation>Copiados!</translation>
    </message>
</context>
<context>
    <name>OverlayAbout</name>
    <message>
        <source>O Varnel está desatualizado</source>
        <translation>O Varnel está desatualizado</translation>
    </message>
    <message>
        <source>O Varnel está atualizado</source>
        <translation>O Varnel está atualizado</translation>
    </message>
    <message>
        <source>Data:</source>
        <translation>Data:</translation>
    </message>
    <message>
        <source>Sistema operativo:</source>
        <translation>Sistema operativo:</translation>
    </message>
    <message>
        <source>IP:</source>
        <translation>IP:</translation>
    </message>
    <message>
        <source>Copiado!</source>
        <translation>Copiado!</translation>
    </message>
    <message>
        <source>Atualização disponível.</source>
        <translation>Atualização disponível.</translation>
    </message>
    <message>
        <source>Versão:</source>
        <translation>Versão:</translation>
    </message>
    <message>
        <source>Modo de compatibilidade</source>
        <translation>Modo de compatibilidade</translation>
    </message>
    <message>
        <source>Ativado</source>
        <translation>Ativado</translation>
    </message>
    <message>
        <source>Desativado</source>
        <translation>Desativado</translation>
    </message>
    <message>
        <source>Ver registo</source>
        <translation>Ver registo</translation>
    </message>
    <message>
        <source>Fechar</source>
        <translation>Fechar</translation>
    </message>
    <message>
        <source>Copiar o endereço %1</source>
        <translation>Copiar o endereço %1</translation>
    </message>
    <message>
        <source>Atualizar</source>
        <translation>Atualizar</translation>
    </message>
</context>
<context>
    <name>PreviewOverlay</name>
    <message>
        <source>Fechar</source>
        <translation>Fechar</translation>
    </message>
</context>
<context>
    <name>PrintClient</name>
    <message>
        <source>Serviço de impressão ligado</source>
        <translation>Serviço de impressão ligado</translation>
    </message>
    <message>
        <source>Serviço de impressão desligado</source>
        <translation>Serviço de impressão desligado</translation>
    </message>
    <message>
        <source>O histórico de talões e pagamentos não pode ser guardado: %1</source>
        <translation>O histórico de talões e pagamentos não pode ser guardado: %1</translation>
    </message>
    <message>
        <source>Existe uma nova versão do Varnel. Clique aqui para atualizar.</source>
        <translation>Existe uma nova versão do Varnel. Clique aqui para atualizar.</translation>
    </message>
    <message>
        <source>A impressora já não existe</source>
        <translation>A impressora já não existe</translation>
    </message>
    <message>
        <source>A impressora não aceitou o trabalho</source>
        <translation>A impressora não aceitou o trabalho</translation>
    </message>
    <message>
        <source>Impressora %1: o talão não foi impresso (%2).</source>
        <translation>Impressora %1: o talão não foi impresso (%2).</translation>
    </message>
    <message>
        <source>Impressora %1: o talão está parado (%2).</source>
        <translation>Impressora %1: o talão está parado (%2).</translation>
    </message>
    <message>
        <source>Pronta</source>
        <translation>Pronta</translation>
    </message>
    <message>
        <source>A imprimir</source>
        <translation>A imprimir</translation>
    </message>
    <message>
        <source>Sem papel</source>
        <translation>Sem papel</translation>
    </message>
    <message>
        <source>Tampa aberta</source>
        <translation>Tampa aberta</translation>
    </message>
    <message>
        <source>Desligada</source>
        <translation>Desligada</translation>
    </message>
    <message>
        <source>Em pausa</source>
        <translation>Em pausa</translation>
    </message>
    <message>
        <source>Erro</source>
        <translation>Erro</translation>
    </message>
    <message>
        <source>Papel a acabar</source>
        <translation>Papel a acabar</translation>
    </message>
    <message>
        <source>Impressora %1: sem papel; o talão espera pelo papel.</source>
        <translation>Impressora %1: sem papel; o talão espera pelo papel.</translation>
    </message>
    <message>
        <source>Impressora %1: de novo com papel.</source>
        <translation>Impressora %1: de novo com papel.</translation>
    </message>
</context>
<context>
    <name>PrinterListItem</name>
    <message>
        <source>Teste enviado</source>
        <translation>Teste enviado</translation>
    </message>
    <message>
        <source>Imprimir teste</source>
        <translation>Imprimir teste</translation>
    </message>
    <message>
        <source>A imprimir…</source>
        <translation>A imprimir…</translation>
    </message>
    <message>
        <source>Pré-visualizar</source>
        <translation>Pré-visualizar</translation>
    </message>
    <message>
        <source>Usar %1 na faturação</source>
        <translation>Usar %1 na faturação</translation>
    </message>
    <message>
        <source>Ativa</source>
        <translation>Ativa</translation>
    </message>
    <message>
        <source>Inativa</source>
        <translation>Inativa</translation>
    </message>
</context>
<context>
    <name>Terminals</name>
    <message>
        <source>Configuração de terminais de pagamento automático (TPA)</source>
        <translation>Configuração de terminais de pagamento automático (TPA)</translation>
    </message>
    <message>
        <source>Defina as configurações dos terminais de pagamento no ponto de venda</source>
        <translation>Defina as configurações dos terminais de pagamento no ponto de venda</translation>
    </message>
    <message>
        <source>Terminais</source>
        <translation>Terminais</translation>
    </message>
    <message>
        <source>Estado</source>
        <translation>Estado</translation>
    </message>
    <message>
        <source>Não foi encontrado nenhum terminal</source>
        <translation>Não foi encontrado nenhum terminal</translation>
    </message>
    <message>
        <source>Voltar</source>
        <translation>Voltar</translation>
    </message>
    <message>
        <source>Atualizar lista</source>
        <translation>Atualizar lista</translation>
    </message>
    <message>
        <source>Usar na faturação</source>
        <translation>Usar na faturação</translation>
    </message>
</context>
<context>
    <name>TestReceipt</name>
    <message>
        <source>Teste de impressão</source>
        <translation>Teste de impressão</translation>
    </message>
    <message>
        <source>Carateres: %1</source>
        <translation>Carateres: %1</translation>
    </message>
    <message>
        <source>Alinhado à esquerda</source>
        <translation>Alinhado à esquerda</translation>
    </message>
    <message>
        <source>Ao centro</source>
        <translation>Ao centro</translation>
    </message>
    <message>
        <source>Alinhado à direita</source>
        <translation>Alinhado à direita</translation>
    </message>
    <message>
        <source>Negrito</source>
        <translation>Negrito</translation>
    </message>
    <message>
        <source>Sublinhado</source>
        <translation>Sublinhado</translation>
    </message>
    <message>
        <source>Tamanho duplo</source>
        <translation>Tamanho duplo</translation>
    </message>
    <message>
        <source>Letra condensada: 64 carateres por linha</source>
        <translation>Letra condensada: 64 carateres por linha</translation>
    </message>
</context>
<context>
    <name>TpaListItem</name>
    <message>
        <source>Ativo</source>
        <translation>Ativo</translation>
    </message>
    <message>
        <source>Inativo</source>
        <translation>Inativo</translation>
    </message>
    <message>
        <source>Usar %1 na faturação</source>
        <translation>Usar %1 na faturação</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Histórico</source>
        <translation>Histórico</translation>
    </message>
    <message>
        <source>Varnel</source>
        <translation>Varnel</translation>
    </message>
    <message>
        <source>Abrir</source>
        <translation>Abrir</translation>
    </message>
    <message>
        <source>Desligar serviço</source>
        <translation>Desligar serviço</translation>
    </message>
    <message>
        <source>Ligar serviço</source>
        <translation>Ligar serviço</translation>
    </message>
    <message>
        <source>Sair</source>
        <translation>Sair</translation>
    </message>
    <message>
        <source>Ajuda</source>
        <translation>Ajuda</translation>
    </message>
    <message>
        <source>Sobre</source>
        <translation>Sobre</translation>
    </message>
    <message>
        <source>Atualização disponível!</source>
        <translation>Atualização disponível!</translation>
    </message>
    <message>
        <source>Mais tarde</source>
        <translation>Mais tarde</translation>
    </message>
    <message>
        <source>Atualizar</source>
        <translation>Atualizar</translation>
    </message>
    <message>
        <source>Transferências</source>
        <translation>Transferências</translation>
    </message>
    <message>
        <source>Apoio ao cliente</source>
        <translation>Apoio ao cliente</translation>
    </message>
    <message>
        <source>Registo</source>
        <translation>Registo</translation>
    </message>
    <message>
        <source>Está disponível uma nova versão do Varnel para descarregar.</source>
        <translation>Está disponível uma nova versão do Varnel para descarregar.</translation>
    </message>
    <message>
        <source>Desenvolvido por</source>
        <translation>Desenvolvido por</translation>
    </message>
</context>
<context>
    <name>History</name>
    <message>
        <source>A reimprimir em %1…</source>
        <translation>A reimprimir em %1…</translation>
    </message>
    <message>
        <source>Talão enviado para a impressora</source>
        <translation>Talão enviado para a impressora</translation>
    </message>
    <message>
        <source>Histórico</source>
        <translation>Histórico</translation>
    </message>
    <message>
        <source>Talões e pagamentos de hoje</source>
        <translation>Talões e pagamentos de hoje</translation>
    </message>
    <message>
        <source>Hora</source>
        <translation>Hora</translation>
    </message>
    <message>
        <source>Operação</source>
        <translation>Operação</translation>
    </message>
    <message>
        <source>Impressora ou terminal</source>
        <translation>Impressora ou terminal</translation>
    </message>
    <message>
        <source>Montante</source>
        <translation>Montante</translation>
    </message>
    <message>
        <source>Resultado</source>
        <translation>Resultado</translation>
    </message>
    <message>
        <source>Reimprimir</source>
        <translation>Reimprimir</translation>
    </message>
    <message>
        <source>Ainda não há talões nem pagamentos hoje</source>
        <translation>Ainda não há talões nem pagamentos hoje</translation>
    </message>
    <message>
        <source>Voltar</source>
        <translation>Voltar</translation>
    </message>
    <message>
        <source>Atualizar</source>
        <translation>Atualizar</translation>
    </message>
    <message>
        <source>Exportar pagamentos (CSV)</source>
        <translation>Exportar pagamentos (CSV)</translation>
    </message>
    <message>
        <source>Não foi possível guardar o ficheiro em %1</source>
        <translation>Não foi possível guardar o ficheiro em %1</translation>
    </message>
    <message>
        <source>Pagamentos de hoje guardados em %1</source>
        <translation>Pagamentos de hoje guardados em %1</translation>
    </message>
</context>
<context>
    <name>HistoryModel</name>
    <message>
        <source>Talão</source>
        <translation>Talão</translation>
    </message>
    <message>
        <source>Enviado para a impressora</source>
        <translation>Enviado para a impressora</translation>
    </message>
    <message>
        <source>Desconhecido: veja a impressora</source>
        <translation>Desconhecido: veja a impressora</translation>
    </message>
    <message>
        <source>Compra</source>
        <translation>Compra</translation>
    </message>
    <message>
        <source>Reembolso</source>
        <translation>Reembolso</translation>
    </message>
    <message>
        <source>Abertura do terminal</source>
        <translation>Abertura do terminal</translation>
    </message>
    <message>
        <source>Fecho do terminal</source>
        <translation>Fecho do terminal</translation>
    </message>
    <message>
        <source>Menu do terminal</source>
        <translation>Menu do terminal</translation>
    </message>
    <message>
        <source>Reimpressão no terminal</source>
        <translation>Reimpressão no terminal</translation>
    </message>
    <message>
        <source>Em curso</source>
        <translation>Em curso</translation>
    </message>
    <message>
        <source>Desconhecido: veja o terminal</source>
        <translation>Desconhecido: veja o terminal</translation>
    </message>
    <message>
        <source>A impressora já não está disponível</source>
        <translation>A impressora já não está disponível</translation>
    </message>
    <message>
        <source>O talão já não está guardado</source>
        <translation>O talão já não está guardado</translation>
    </message>
    <message>
        <source>A impressora não aceitou o trabalho</source>
        <translation>A impressora não aceitou o trabalho</translation>
    </message>
    <message>
        <source>Data e hora</source>
        <translation>Data e hora</translation>
    </message>
    <message>
        <source>Terminal</source>
        <translation>Terminal</translation>
    </message>
    <message>
        <source>Ponto de venda</source>
        <translation>Ponto de venda</translation>
    </message>
    <message>
        <source>Operação</source>
        <translation>Operação</translation>
    </message>
    <message>
        <source>Montante</source>
        <translation>Montante</translation>
    </message>
    <message>
        <source>Resultado</source>
        <translation>Resultado</translation>
    </message>
    <message>
        <source>pagamentos</source>
        <translation>pagamentos</translation>
    </message>
</context>
<context>
    <name>PrinterChoice</name>
    <message>
        <source>Reimprimir em</source>
        <translation>Reimprimir em</translation>
    </message>
    <message>
        <source>Nenhuma impressora ativa</source>
        <translation>Nenhuma impressora ativa</translation>
    </message>
    <message>
        <source>Cancelar</source>
        <translation>Cancelar</translation>
    </message>
</context>
</TS>
