-- Drives `scenario lsp` from Neovim 0.7 as a real client.
-- Env: SCENARIO (the binary), CARTELLA (a folder written by `scenario sources`).
-- Quits with status 0 when every check passes, 1 when one fails, 3 on timeout.

local ATTESA = 20000 -- ms; bounded waits, never a pass condition by themselves

local function scrivi(s)
  io.stdout:write(s .. '\n')
  io.stdout:flush()
end

-- Whatever happens, nvim must not be left running.
local orologio = vim.loop.new_timer()
orologio:start(180000, 0, function()
  io.stderr:write('prova.lua: tempo scaduto\n')
  os.exit(3)
end)

local fallite = {}
local uscita -- how the server process ended, once it has
local function verifica(ok, cosa)
  scrivi((ok and 'ok   ' or 'FAIL ') .. cosa)
  if not ok then
    table.insert(fallite, cosa)
  end
  return ok
end

local function testo(b)
  return vim.api.nvim_buf_get_lines(b, 0, -1, true)
end

-- Drops every blank that follows a blank or a comma.
local function stringi(righe)
  local out = {}
  for i, r in ipairs(righe) do
    local s, prima = {}, ''
    for c in r:gmatch('.') do
      if not (c == ' ' and (prima == ' ' or prima == ',')) then
        table.insert(s, c)
      end
      prima = c
    end
    out[i] = table.concat(s)
  end
  return out
end

local function uguali(a, b)
  if #a ~= #b then
    return false, string.format('%d righe contro %d', #a, #b)
  end
  for i = 1, #a do
    if a[i] ~= b[i] then
      return false, string.format('riga %d: %q contro %q', i - 1, a[i], b[i])
    end
  end
  return true
end

local function principale()
  local scenario = assert(os.getenv('SCENARIO'), 'SCENARIO non impostata')
  local cartella = assert(os.getenv('CARTELLA'), 'CARTELLA non impostata')
  local file_linea = cartella .. '/FerziaPS-Calvorano_linea.txt'
  local file_treno = cartella .. '/FerziaPS-Calvorano_24617-.txt'

  vim.o.hidden = true

  -- Which files the server has published diagnostics for, and how often.
  local pubblicati = {}
  local default = vim.lsp.handlers['textDocument/publishDiagnostics']
  local errori_server = {}

  local id = vim.lsp.start_client({
    name = 'scenario',
    on_exit = function(codice, segnale_)
      uscita = { codice = codice, segnale = segnale_ }
    end,
    cmd = { scenario, 'lsp' },
    root_dir = cartella,
    flags = { debounce_text_changes = 20 },
    handlers = {
      ['textDocument/publishDiagnostics'] = function(err, result, ctx, config)
        default(err, result, ctx, config)
        local f = vim.uri_to_fname(result.uri)
        pubblicati[f] = (pubblicati[f] or 0) + 1
      end,
      ['window/logMessage'] = function(_, result)
        if result.type == 1 then
          table.insert(errori_server, result.message)
        end
      end,
    },
  })
  if not verifica(id ~= nil, 'avvio del client') then
    return
  end

  vim.cmd('edit ++enc=cp1252 ' .. vim.fn.fnameescape(file_linea))
  local bl = vim.api.nvim_get_current_buf()
  vim.lsp.buf_attach_client(bl, id)
  vim.cmd('edit ++enc=cp1252 ' .. vim.fn.fnameescape(file_treno))
  local bt = vim.api.nvim_get_current_buf()
  vim.lsp.buf_attach_client(bt, id)
  verifica(vim.bo[bl].fileformat == 'dos' and vim.bo[bt].fileformat == 'dos', 'file letti come CR LF')
  verifica(vim.bo[bl].fileencoding == 'cp1252' and vim.bo[bt].fileencoding == 'cp1252', 'file letti come cp1252')

  -- The client is gone from the list once its server has exited.
  local function inizializzato()
    local c = vim.lsp.get_client_by_id(id)
    return c ~= nil and c.initialized == true
  end
  vim.wait(ATTESA, function()
    return inizializzato() or vim.lsp.get_client_by_id(id) == nil
  end, 20)
  if not verifica(inizializzato(), 'initialize') then
    return
  end

  -- Both files published: the line with no diagnostic, the train with the
  -- one warning of the built-in sources (the first station's opzione_2).
  local nl, nt = vim.api.nvim_buf_get_name(bl), vim.api.nvim_buf_get_name(bt)
  local arrivati = vim.wait(ATTESA, function()
    return (pubblicati[nl] or 0) > 0 and (pubblicati[nt] or 0) > 0
  end, 20)
  verifica(arrivati, 'diagnostiche pubblicate per linea e treno')
  verifica(#vim.diagnostic.get(bl) == 0, 'nessuna diagnostica iniziale (linea)')
  local dt = vim.diagnostic.get(bt)
  verifica(#dt == 1 and dt[1].lnum == 17 and dt[1].message:find('opzione_2 1 diventa 0', 1, true) ~= nil,
    'un avviso iniziale (treno), alla prima stazione: ' .. vim.inspect(dt))

  -- A letter inside the first curve's numbers.
  local riga = vim.api.nvim_buf_get_lines(bl, 10, 11, true)[1]
  verifica(riga == 'curvas6,  550,  350', 'riga 10 della linea: ' .. vim.inspect(riga))
  local errore25 = function()
    for _, d in ipairs(vim.diagnostic.get(bl)) do
      if
        tostring(d.code) == '25'
        and d.severity == vim.diagnostic.severity.ERROR
        and d.lnum == 10
        and d.message:find('^errore 25: lettura fallita')
      then
        return true
      end
    end
    return false
  end
  vim.api.nvim_buf_set_text(bl, 10, 10, 10, 10, { 'x' })
  if not verifica(vim.wait(ATTESA, errore25, 20), 'errore 25 sulla riga 10 dopo la modifica') then
    scrivi('  diagnostiche: ' .. vim.inspect(vim.diagnostic.get(bl)))
  end

  -- Undo takes it away.
  vim.api.nvim_buf_call(bl, function()
    vim.cmd('silent undo')
  end)
  verifica(vim.api.nvim_buf_get_lines(bl, 10, 11, true)[1] == 'curvas6,  550,  350', 'undo ripristina la riga')
  if
    not verifica(
      vim.wait(ATTESA, function()
        return #vim.diagnostic.get(bl) == 0
      end, 20),
      'undo cancella la diagnostica'
    )
  then
    scrivi('  diagnostiche: ' .. vim.inspect(vim.diagnostic.get(bl)))
  end

  -- Hover on the key of GRUZO's station line.
  verifica(vim.api.nvim_buf_get_lines(bt, 23, 24, true)[1]:find('GRUZO$') ~= nil, 'riga 23 del treno è GRUZO')
  local risposte = vim.lsp.buf_request_sync(bt, 'textDocument/hover', {
    textDocument = { uri = vim.uri_from_bufnr(bt) },
    position = { line = 23, character = 2 },
  }, 10000)
  local r = risposte and risposte[id]
  local valore = r and r.result and r.result.contents and r.result.contents.value or ''
  if not verifica(valore:find('posizione', 1, true) ~= nil, 'hover sulla chiave stazione') then
    scrivi('  risposta: ' .. vim.inspect(risposte))
  end

  -- Formatting: the squeezed text comes back to the same layout.
  vim.api.nvim_set_current_buf(bt)
  local originale = testo(bt)
  vim.lsp.buf.formatting_sync(nil, 10000)
  local formattato = testo(bt)
  local gruzo = 'stazione, 21600, 12, 300, 0, 0, 0, 1, 1, 0, 4, 1, 1, 40, 14, 50, 51, GRUZO'
  if not verifica(formattato[24] == gruzo, 'riga GRUZO formattata') then
    scrivi('  ottenuta: ' .. vim.inspect(formattato[24]))
  end
  vim.lsp.buf.formatting_sync(nil, 10000)
  local ok, perche = uguali(testo(bt), formattato)
  verifica(ok, 'formattare due volte non cambia nulla' .. (ok and '' or ': ' .. perche))

  local stretto = stringi(originale)
  vim.api.nvim_buf_set_lines(bt, 0, -1, true, stretto)
  ok, perche = uguali(testo(bt), stretto)
  verifica(ok and not uguali(stretto, originale), 'testo stretto nel buffer')
  vim.lsp.buf.formatting_sync(nil, 10000)
  ok, perche = uguali(testo(bt), formattato)
  verifica(ok, 'lo stretto formattato è uguale al formattato' .. (ok and '' or ': ' .. perche))
  verifica(vim.bo[bt].fileformat == 'dos', 'il buffer resta CR LF')

  -- Shutdown and exit as the protocol has them: the server must end by itself.
  vim.lsp.stop_client(id)
  vim.wait(ATTESA, function()
    return uscita ~= nil
  end, 20)
  local pulita = uscita ~= nil and uscita.codice == 0
  verifica(pulita, 'shutdown ed exit' .. (pulita and '' or ': ' .. vim.inspect(uscita, { newline = ' ' })))

  if #errori_server > 0 then
    verifica(false, 'messaggi di errore del server: ' .. table.concat(errori_server, ' | '))
  end
end

local ok, err = xpcall(principale, debug.traceback)
if not ok then
  verifica(false, 'errore Lua: ' .. tostring(err))
end
orologio:stop()
if #fallite > 0 then
  -- A server that hangs must not outlive the test.
  for _, c in ipairs(vim.lsp.get_active_clients()) do
    c.stop(true)
  end
  scrivi(string.format('%d verifiche fallite', #fallite))
  vim.cmd('cquit 1')
else
  scrivi('tutte le verifiche superate')
  vim.cmd('qall!')
end
